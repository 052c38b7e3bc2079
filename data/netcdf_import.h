#pragma once

#include "grid_import.h"

#include <cstdint>
#include <string>

// The NetCDF side of the "Open File" import (classic, 64-bit offset, CDF-5 and netCDF-4/HDF5
// files, through the netCDF-C library).
//
// Which data becomes the grid: a variable's dimensions in storage order are z, y, x (slowest
// to fastest; missing ones get extent 1). The components come from several variables of the
// same shape (ImportOptions::variables) or from one dimension of one variable
// (ImportOptions::components_dimension). Told nothing, the import takes the only numeric
// variable of three or more dimensions, or asks ImportPrompts::choose_variables when there
// are several. A variable of four dimensions needs the components' dimension; one of more than
// four is refused. Values follow the CF conventions (see netcdf_values.h): missing values are
// written as -9999.
//
// The library runs in a reader process of its own: a damaged file that crashes or hangs it
// fails the import with a message, and the caller goes on.

// A file named .nc, .nc4 or .cdf (in any case), or one whose first bytes are a NetCDF
// (CDF\x01, CDF\x02, CDF\x05) or HDF5 signature.
bool is_netcdf_grid(const std::string& path);

// The NetCDF or HDF5 signature at the start of `bytes`.
bool has_netcdf_signature(const void* bytes, std::size_t size);

// The import of the NetCDF file `path`, with import_grid()'s contract.
ImportResult import_netcdf(const std::string& path, Volume& data, Volume& colour,
                           ImportPrompts& prompts, const ImportOptions& options = {});

// The same for a file image in memory (opened with nc_open_mem); `name` stands for the file in
// messages and, followed by ".dat", is the default intermediate path.
ImportResult import_netcdf_memory(const std::string& name, const void* bytes, std::size_t size,
                                  Volume& data, Volume& colour, ImportPrompts& prompts,
                                  const ImportOptions& options = {});
