# The whole import as a separate halvorn-batch process, beside numpy.loadtxt where present.
if(TARGET halvorn-batch)
    add_executable(halvorn_whole_import_bench ${CMAKE_CURRENT_LIST_DIR}/whole_import_bench.cpp)
    target_compile_definitions(halvorn_whole_import_bench
                               PRIVATE HALVORN_BATCH_PATH="$<TARGET_FILE:halvorn-batch>")
    add_dependencies(halvorn_whole_import_bench halvorn-batch)
    halvorn_target_defaults(halvorn_whole_import_bench)
endif()
