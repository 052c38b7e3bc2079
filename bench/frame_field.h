#pragma once

#include "volume.h"

#include <cmath>

// A smooth two-moment temperature field (a plume in a layered, gently waving ambient) with a
// few solid blocks without data (-9999), as measured fields come. The frame and dialog
// benchmarks draw it classified through the sample's curves.
inline void fill_field(Volume& data, int nx, int ny, int nz) {
    data.allocate(nx, ny, nz, 2);
    const auto missing = [&](int x, int y, int z) {
        const double fx = double(x) / nx, fy = double(y) / ny, fz = double(z) / nz;
        return (fx > 0.62 && fx < 0.8 && fy > 0.12 && fy < 0.34 && fz > 0.08 && fz < 0.42) ||
               (fx > 0.1 && fx < 0.22 && fy > 0.7 && fy < 0.85 && fz > 0.5 && fz < 0.7);
    };
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                float* p = data.samples + data.flat_index(x, y, z, 0);
                if (missing(x, y, z)) {
                    p[0] = p[1] = -9999.0f;
                    continue;
                }
                const double h = double(z) / (nz - 1);
                for (int c = 0; c < 2; ++c) {
                    const double t = c;
                    const double dx = (double(x) / nx - 0.45 - 0.05 * t - 0.1 * h) * 4.0;
                    const double dy = (double(y) / ny - 0.52) * 4.0;
                    const double spread = 0.35 + 0.6 * h + 0.2 * t;
                    const double plume = std::exp(-(dx * dx + dy * dy) / (2.0 * spread * spread));
                    const double ambient =
                        12.0 + 10.0 * h + 3.0 * std::sin(12.0 * x / nx) * std::cos(9.0 * y / ny);
                    p[c] = static_cast<float>(ambient +
                                              75.0 * (0.6 + 0.4 * t) * (1.0 - 0.45 * h) * plume);
                }
            }
    data.valid = true;
}
