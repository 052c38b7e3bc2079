# One main-view frame, headless: immediate mode, vertex arrays and shaders on the same scenes.
add_executable(halvorn_frame_bench
    ${CMAKE_CURRENT_LIST_DIR}/frame_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/render/render_fixtures.cpp)
target_include_directories(halvorn_frame_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/render
                                                       ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_definitions(halvorn_frame_bench PRIVATE
    HALVORN_SAMPLE_GRID="${HALVORN_SAMPLE_GRID}"
    HALVORN_SAMPLE_CURVES="${HALVORN_SAMPLE_CURVES}"
    HALVORN_OCEAN_GRID="${CMAKE_BINARY_DIR}/samples/ocean.txt"
    HALVORN_OCEAN_CURVES="${PROJECT_SOURCE_DIR}/samples/ocean_curves.json")
target_link_libraries(halvorn_frame_bench PRIVATE halvorn::scene
                                                  benchmark::benchmark)
add_dependencies(halvorn_frame_bench halvorn-sample halvorn-ocean)
halvorn_target_defaults(halvorn_frame_bench)
