# The real dialog driven by Qt Test (needs an X display): steps of mouse movement, drags and
# realtime curve edits on generated grids, with "Fast Interaction" off and on.
if(TARGET halvorn_app)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(halvorn_dialog_bench ${CMAKE_CURRENT_LIST_DIR}/dialog_bench.cpp)
    target_include_directories(halvorn_dialog_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/app)
    target_compile_definitions(halvorn_dialog_bench PRIVATE
        HALVORN_SAMPLE_CURVES="${HALVORN_SAMPLE_CURVES}")
    target_link_libraries(halvorn_dialog_bench PRIVATE halvorn::app Qt6::Test)
    halvorn_target_defaults(halvorn_dialog_bench)
endif()
