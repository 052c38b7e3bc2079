# The panels' histogram count against a plain single loop over the samples.
add_executable(halvorn_histogram_bench ${CMAKE_CURRENT_LIST_DIR}/histogram_bench.cpp)
target_link_libraries(halvorn_histogram_bench PRIVATE halvorn::data benchmark::benchmark)
halvorn_target_defaults(halvorn_histogram_bench)
