#include "raw_volume.h"

#include "grid_size.h"
#include "open_for_reading.h"

#include <cstdio>
#include <new>
#include <sys/stat.h>

RawVolume::~RawVolume() {
    release();
}

void RawVolume::release() {
    if (mapping_.data())
        mapping_.unmap();
    else
        delete[] bytes;
    bytes = nullptr;
}

std::int64_t RawVolume::byte_count() const {
    return grid_byte_count(nx, ny, nz, bytes_per_point);
}

bool RawVolume::read(const char* path, int nx_, int ny_, int nz_, int bytes_per_point_, bool map) {
    nx = nx_;
    ny = ny_;
    nz = nz_;
    bytes_per_point = bytes_per_point_;
    release();

    const std::int64_t need = byte_count();
    if (need <= 0)
        return false;

    // What was written to a FIFO has gone to its reader: it is not read back (neither waited
    // on, nor taken from that reader).
    std::FILE* f = open_for_reading(path, -1);
    if (!f)
        return false;
    struct stat st {};
    const bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    // A file shorter than needed is read as before and found short (a file in /proc or /sys may
    // hold more than its size says).
    if (map && regular && st.st_size >= need && mapping_.map(fileno(f), need, false, true)) {
        std::fclose(f); // the mapping stays valid without the descriptor
        bytes = reinterpret_cast<unsigned char*>(mapping_.data());
        return true;
    }

    bytes = new (std::nothrow) unsigned char[static_cast<std::size_t>(need)];
    std::int64_t got = 0;
    if (bytes) {
        // fread takes size_t counts; read in pieces so no single call's count can matter.
        constexpr std::int64_t piece = std::int64_t{1} << 30;
        while (got < need) {
            const std::int64_t want = need - got < piece ? need - got : piece;
            const std::size_t n = std::fread(bytes + got, 1, static_cast<std::size_t>(want), f);
            got += static_cast<std::int64_t>(n);
            if (n != static_cast<std::size_t>(want))
                break;
        }
    }
    std::fclose(f);
    if (got < need) {
        release();
        return false;
    }
    return true;
}
