# One main-view frame, headless: vertex arrays against immediate mode on the same scene.
add_executable(halvorn_frame_bench
    ${CMAKE_CURRENT_LIST_DIR}/frame_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/render_fixtures.cpp)
target_include_directories(halvorn_frame_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/render
                                                       ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_definitions(halvorn_frame_bench PRIVATE
    HALVORN_SAMPLE_GRID="${HALVORN_SAMPLE_GRID}"
    HALVORN_SAMPLE_CURVES="${HALVORN_SAMPLE_CURVES}")
target_link_libraries(halvorn_frame_bench PRIVATE halvorn::scene
                                                  benchmark::benchmark)
add_dependencies(halvorn_frame_bench halvorn-sample)
halvorn_target_defaults(halvorn_frame_bench)
