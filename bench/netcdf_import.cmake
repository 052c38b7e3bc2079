# The whole NetCDF import as a separate process, beside the text import of the same grid. The
# driver is linked as the programs are; the benchmark itself writes the NetCDF files.
add_executable(halvorn_import_driver ${CMAKE_CURRENT_LIST_DIR}/import_driver.cpp)
target_link_libraries(halvorn_import_driver PRIVATE halvorn::data)
halvorn_target_defaults(halvorn_import_driver)

add_executable(halvorn_netcdf_import_bench ${CMAKE_CURRENT_LIST_DIR}/netcdf_import_bench.cpp)
target_link_libraries(halvorn_netcdf_import_bench PRIVATE halvorn::netcdf)
target_compile_definitions(halvorn_netcdf_import_bench
                           PRIVATE HALVORN_IMPORT_DRIVER="$<TARGET_FILE:halvorn_import_driver>")
add_dependencies(halvorn_netcdf_import_bench halvorn_import_driver)
halvorn_target_defaults(halvorn_netcdf_import_bench)
