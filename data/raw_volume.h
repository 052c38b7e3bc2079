#pragma once

#include "file_mapping.h"

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
    // that; extra bytes at the end are not read. A regular file is mapped rather than copied
    // (unless `map` is false): `bytes` then points at its pages in the page cache.
    bool read(const char* path, int nx, int ny, int nz, int bytes_per_point, bool map = true);

    // The same from a regular file already open for reading (OutputFile::written_descriptor),
    // read from its start whatever the descriptor's position; the descriptor stays open.
    bool read_descriptor(int fd, int nx, int ny, int nz, int bytes_per_point, bool map = true);

    // Bytes required by the extents; 0 when any extent is not positive or the product overflows.
    std::int64_t byte_count() const;

    // Read only: it may be the mapped file.
    unsigned char* bytes = nullptr;
    int nx = 0;
    int ny = 0;
    int nz = 0;
    int bytes_per_point = 0;

private:
    void release();
    // Stores the extents, drops the buffer held and returns the bytes to read (0: refuse).
    std::int64_t start(int nx, int ny, int nz, int bytes_per_point);
    // Maps the first `need` bytes of the regular file `fd` when asked and possible.
    bool map_regular(int fd, std::int64_t need, std::int64_t file_size, bool map);

    FileMapping mapping_; // holds `bytes` when the file is mapped
};
