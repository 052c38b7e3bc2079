# Playback through the components: a window step (classification and coarse frame) beside the
# full classification and full frame of the same 1M-point grid.
add_executable(halvorn_playback_bench ${CMAKE_CURRENT_LIST_DIR}/playback_bench.cpp)
target_compile_definitions(halvorn_playback_bench PRIVATE
    HALVORN_SAMPLE_CURVES="${HALVORN_SAMPLE_CURVES}")
target_link_libraries(halvorn_playback_bench PRIVATE halvorn::scene)
halvorn_target_defaults(halvorn_playback_bench)
