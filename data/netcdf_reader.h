#pragma once

#include "grid_description.h"
#include "netcdf_catalog.h"
#include "netcdf_values.h"

#include <cstdint>
#include <string>
#include <vector>

// The reading of a NetCDF file through the netCDF-C library. The import runs all of this in a
// reader process of its own (see netcdf_import.cpp), because the library can crash or hang on
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

// Where converted samples go: blocks of floats that are handed on whole. The reader holds at most
// two at a time: it takes the next block before it hands on the last one.
class SampleSink {
public:
    // A block of block_floats() floats to fill; null when the import is to stop.
    virtual float* next_block() = 0;
    virtual std::int64_t block_floats() const = 0;
    // Hands on `count` samples of `block`; `stored_done` of `stored_total` bytes of stored
    // values have been read so far. False when the import is to stop.
    virtual bool emit(float* block, std::int64_t count, std::int64_t stored_done,
                      std::int64_t stored_total) = 0;

protected:
    ~SampleSink() = default;
};

struct ReadResult {
    std::string error; // empty on success
    ValueCounts counts;
    bool stopped = false; // the sink asked to stop
};

// Reads the grid of `plan` in slabs and hands its samples to `sink` in the order of the
// intermediate file: components innermost, then x, y, z.
ReadResult read_grid(int ncid, const NetcdfCatalog& catalog, const GridPlan& plan,
                     SampleSink& sink);
