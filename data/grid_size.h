#pragma once

#include <cstdint>

// 64-bit size arithmetic for grids. Every function returns 0 when an argument is not positive
// or the product does not fit in a signed 64-bit integer, so callers test one value.

inline std::int64_t checked_product(std::int64_t a, std::int64_t b) {
    std::int64_t r = 0;
    if (a <= 0 || b <= 0 || __builtin_mul_overflow(a, b, &r))
        return 0;
    return r;
}

// Grid points of an nx x ny x nz grid.
inline std::int64_t grid_point_count(std::int64_t nx, std::int64_t ny, std::int64_t nz) {
    return checked_product(checked_product(nx, ny), nz);
}

// Samples of a grid with ncomp components per point.
inline std::int64_t grid_sample_count(std::int64_t nx, std::int64_t ny, std::int64_t nz,
                                      std::int64_t ncomp) {
    return checked_product(grid_point_count(nx, ny, nz), ncomp);
}

// Bytes of a grid with the given bytes per point.
inline std::int64_t grid_byte_count(std::int64_t nx, std::int64_t ny, std::int64_t nz,
                                    std::int64_t bytes_per_point) {
    return checked_product(grid_point_count(nx, ny, nz), bytes_per_point);
}
