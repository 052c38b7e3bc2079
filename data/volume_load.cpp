#include "grid_size.h"
#include "raw_volume.h"
#include "volume.h"

#include <cmath>
#include <cstring>

namespace {

float load_float(const unsigned char* b, bool byte_swap) {
    unsigned char bytes[4];
    if (byte_swap) {
        bytes[0] = b[3];
        bytes[1] = b[2];
        bytes[2] = b[1];
        bytes[3] = b[0];
    } else {
        std::memcpy(bytes, b, 4);
    }
    float v;
    std::memcpy(&v, bytes, 4);
    return v;
}

} // namespace

bool Volume::load_raw(const RawVolume& raw, bool byte_swap, bool mirror_x) {
    const int new_ncomp = raw.bytes_per_point / 4;
    const std::int64_t n = grid_sample_count(raw.nx, raw.ny, raw.nz, new_ncomp);
    // An array of the right size is reused (a prepared load allocates it up front); otherwise
    // the old one is released first so that only one of them is held at a time.
    if (!samples || n <= 0 || n != sample_count()) {
        release_samples();
        samples = new_samples(n, false);
    }
    nx = raw.nx;
    ny = raw.ny;
    nz = raw.nz;
    ncomp = new_ncomp;
    if (!samples || !raw.bytes) {
        release_samples();
        valid = false;
        return false;
    }

    double sum = 0.0;
    double sum_squares = 0.0;
    std::int64_t count = 0;
    const std::int64_t row_samples = static_cast<std::int64_t>(nx) * ncomp;
    const std::int64_t point_bytes = raw.bytes_per_point;
    for (int z = 0; z < nz; ++z) {
        for (int y = 0; y < ny; ++y) {
            const std::int64_t row = static_cast<std::int64_t>(z) * ny + y;
            const unsigned char* src = raw.bytes + row * nx * point_bytes;
            float* dst_row = samples + row * row_samples;
            for (int k = 0; k < nx; ++k) {
                const int x = mirror_x ? nx - 1 - k : k;
                float* dst = dst_row + static_cast<std::int64_t>(x) * ncomp;
                const unsigned char* p = src + k * point_bytes;
                for (int c = 0; c < ncomp; ++c) {
                    const float v = load_float(p + 4 * c, byte_swap);
                    if (v > -100.0f) {
                        if (count == 0) {
                            stat_min = v;
                            stat_max = v;
                        } else {
                            if (v > stat_max)
                                stat_max = v;
                            if (v < stat_min)
                                stat_min = v;
                        }
                        ++count;
                        sum += v;
                        sum_squares += static_cast<double>(v) * v;
                    }
                    dst[c] = v;
                }
            }
        }
    }
    component = 0;
    stat_count = count;
    valid = nx > 1 && ny > 1 && nz > 1 && count > 0;
    const double r = 1.0 / static_cast<double>(count);
    stat_mean = sum * r;
    stat_mean_square = sum_squares * r;
    stat_std_dev = std::sqrt(std::fabs(stat_mean_square - stat_mean * stat_mean));
    return true;
}
