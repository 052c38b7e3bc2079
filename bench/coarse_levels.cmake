# Each coarse level of the main view: its time and its difference to the full frame.
add_executable(halvorn_coarse_levels_bench ${CMAKE_CURRENT_LIST_DIR}/coarse_levels_bench.cpp)
target_compile_definitions(halvorn_coarse_levels_bench PRIVATE
    HALVORN_SAMPLE_CURVES="${HALVORN_SAMPLE_CURVES}")
target_link_libraries(halvorn_coarse_levels_bench PRIVATE halvorn::scene)
halvorn_target_defaults(halvorn_coarse_levels_bench)
