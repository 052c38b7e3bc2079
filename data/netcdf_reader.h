#pragma once

#include "grid_description.h"
#include "netcdf_catalog.h"
#include "netcdf_values.h"

#include <cstdint>
#include <string>
#include <vector>

// The reading of a NetCDF file through the netCDF-C library. The import runs all of this in a
// reader process of its own (see netcdf_reader_main.h), because the library can crash or hang on
// a damaged file.

// Opens `path`, or the file image `memory` of `size` bytes when `memory` is not null, read
// only. Returns the library's status (NC_NOERR on success).
int open_netcdf(const std::string& path, const void* memory, std::int64_t size, int& ncid);

// The library's status as words: "NetCDF: HDF error".
std::string netcdf_status_text(int status);

// Reads the dimensions and variables of the root group. Returns the library's status.
int read_catalog(int ncid, NetcdfCatalog& catalog);

// Reads the coordinate variable of dimension `dimension` (a one-dimensional numeric variable of
// the same name), unpacked, with its units, long_name and positive attributes, into `axis`.
// Leaves `axis` as it is when there is none; its values stay empty when the dimension has more
// than max_coordinate_values points.
inline constexpr std::int64_t max_coordinate_values = std::int64_t{1} << 24;
void read_axis(int ncid, const NetcdfCatalog& catalog, int dimension, GridAxis& axis);

// Reads how the stored values of variable `varid` become samples: its type (with the
// _Unsigned convention), scale_factor, add_offset, _FillValue or the default fill,
// missing_value, valid_range or valid_min and valid_max. Returns an empty string, or why the
// variable cannot be read.
std::string read_value_rule(int ncid, int varid, ValueRule& rule);
