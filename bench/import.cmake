# Grid text import against the straightforward line-by-line reference.
if(NOT TARGET halvorn_reference)
    add_subdirectory(${PROJECT_SOURCE_DIR}/tests/support ${CMAKE_BINARY_DIR}/tests/support)
endif()
add_executable(halvorn_import_bench ${CMAKE_CURRENT_LIST_DIR}/import_bench.cpp)
target_link_libraries(halvorn_import_bench PRIVATE halvorn::data halvorn_reference
                                                   benchmark::benchmark)
halvorn_target_defaults(halvorn_import_bench)
