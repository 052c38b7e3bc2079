#pragma once

#include "netcdf_catalog.h"
#include "netcdf_values.h"

#include <cstdint>
#include <string>

// The reading of a grid's samples from an open NetCDF file, in slabs of bounded size.

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
