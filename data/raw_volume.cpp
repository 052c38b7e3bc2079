#include "raw_volume.h"

#include "grid_size.h"
#include "open_for_reading.h"

#include <cstdio>
#include <new>

RawVolume::~RawVolume() {
    release();
}

void RawVolume::release() {
    delete[] bytes;
    bytes = nullptr;
}

std::int64_t RawVolume::byte_count() const {
    return grid_byte_count(nx, ny, nz, bytes_per_point);
}

bool RawVolume::read(const char* path, int nx_, int ny_, int nz_, int bytes_per_point_) {
    nx = nx_;
    ny = ny_;
    nz = nz_;
    bytes_per_point = bytes_per_point_;
    release();

    const std::int64_t need = byte_count();
    if (need <= 0)
        return false;
    bytes = new (std::nothrow) unsigned char[static_cast<std::size_t>(need)];
    if (!bytes)
        return false;

    // What was written to a FIFO has gone to its reader: it is not read back (neither waited
    // on, nor taken from that reader).
    std::FILE* f = open_for_reading(path, -1);
    std::int64_t got = 0;
    if (f) {
        // fread takes size_t counts; read in pieces so no single call's count can matter.
        constexpr std::int64_t piece = std::int64_t{1} << 30;
        while (got < need) {
            const std::int64_t want = need - got < piece ? need - got : piece;
            const std::size_t n = std::fread(bytes + got, 1, static_cast<std::size_t>(want), f);
            got += static_cast<std::int64_t>(n);
            if (n != static_cast<std::size_t>(want))
                break;
        }
        std::fclose(f);
    }
    if (got < need) {
        release();
        return false;
    }
    return true;
}
