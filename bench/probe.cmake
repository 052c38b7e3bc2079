# The value under the pointer: the walk through the grid's boxes against a fine march.
add_executable(halvorn_probe_bench ${CMAKE_CURRENT_LIST_DIR}/probe_bench.cpp)
target_link_libraries(halvorn_probe_bench PRIVATE halvorn::scene benchmark::benchmark)
target_include_directories(halvorn_probe_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_definitions(halvorn_probe_bench PRIVATE
    HALVORN_SAMPLE_CURVES="${HALVORN_SAMPLE_CURVES}")
halvorn_target_defaults(halvorn_probe_bench)
