# Pre-integrated classification against the literal serial reference.
# tests/support defines both reference targets; the import benchmark may have added it already.
if(NOT TARGET halvorn_reference)
    add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(halvorn_classify_bench ${CMAKE_CURRENT_LIST_DIR}/classify_bench.cpp)
target_link_libraries(halvorn_classify_bench PRIVATE halvorn::transfer halvorn_reference_classify
                                                     benchmark::benchmark)
halvorn_target_defaults(halvorn_classify_bench)
