# The whole NetCDF import as a separate process, beside the text import of the same grid.
add_executable(halvorn_netcdf_import_bench ${CMAKE_CURRENT_LIST_DIR}/netcdf_import_bench.cpp)
target_link_libraries(halvorn_netcdf_import_bench PRIVATE halvorn::data halvorn::netcdf)
halvorn_target_defaults(halvorn_netcdf_import_bench)
