#pragma once

#include <cstdint>

// The intermediate file read back whole: headerless little-endian float32 samples, grid point
// (x, y, z) at byte offset ((z * ny + y) * nx + x) * bytes_per_point.
class RawVolume {
public:
    RawVolume() = default;
    ~RawVolume();
    RawVolume(const RawVolume&) = delete;
    RawVolume& operator=(const RawVolume&) = delete;

    // Reads nx * ny * nz * bytes_per_point bytes from the start of the file. Returns false (and
    // holds no buffer) when the sizes are not positive, memory runs out, the file cannot be
    // opened, is a FIFO (what was written there has gone to its reader) or is shorter than
    // that; extra bytes at the end are not read.
    bool read(const char* path, int nx, int ny, int nz, int bytes_per_point);

    // Bytes required by the extents; 0 when any extent is not positive or the product overflows.
    std::int64_t byte_count() const;

    unsigned char* bytes = nullptr;
    int nx = 0;
    int ny = 0;
    int nz = 0;
    int bytes_per_point = 0;

private:
    void release();
};
