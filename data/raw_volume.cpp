#include "raw_volume.h"

#include "grid_size.h"
#include "open_for_reading.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads are made in pieces of at most this many bytes, so no single call's count can matter.
constexpr std::int64_t piece = std::int64_t{1} << 30;

} // namespace

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

std::int64_t RawVolume::start(int nx_, int ny_, int nz_, int bytes_per_point_) {
    nx = nx_;
    ny = ny_;
    nz = nz_;
    bytes_per_point = bytes_per_point_;
    release();
    return byte_count();
}

bool RawVolume::map_regular(int fd, std::int64_t need, std::int64_t file_size, bool map) {
    // A file shorter than needed is read as before and found short (a file in /proc or /sys may
    // hold more than its size says).
    if (!map || file_size < need || !mapping_.map(fd, need, false, true))
        return false;
    bytes = reinterpret_cast<unsigned char*>(mapping_.data());
    return true;
}

bool RawVolume::read(const char* path, int nx_, int ny_, int nz_, int bytes_per_point_, bool map) {
    const std::int64_t need = start(nx_, ny_, nz_, bytes_per_point_);
    if (need <= 0)
        return false;

    // What was written to a FIFO has gone to its reader: it is not read back (neither waited
    // on, nor taken from that reader).
    std::FILE* f = open_for_reading(path, -1);
    if (!f)
        return false;
    struct stat st {};
    const bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    if (regular && map_regular(fileno(f), need, st.st_size, map)) {
        std::fclose(f); // the mapping stays valid without the descriptor
        return true;
    }

    bytes = new (std::nothrow) unsigned char[static_cast<std::size_t>(need)];
    std::int64_t got = 0;
    if (bytes) {
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

bool RawVolume::read_descriptor(int fd, int nx_, int ny_, int nz_, int bytes_per_point_, bool map) {
    const std::int64_t need = start(nx_, ny_, nz_, bytes_per_point_);
    struct stat st {};
    if (need <= 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (map_regular(fd, need, st.st_size, map))
        return true;
    bytes = new (std::nothrow) unsigned char[static_cast<std::size_t>(need)];
    std::int64_t got = 0;
    while (bytes && got < need) {
        const std::int64_t want = need - got < piece ? need - got : piece;
        const ssize_t n = pread(fd, bytes + got, static_cast<std::size_t>(want), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    if (got < need) {
        release();
        return false;
    }
    return true;
}
