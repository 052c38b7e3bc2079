#pragma once

#include "transfer_function.h"

#include <random>

// A curve through the given points (the final (1.0, 0.0) is already there), segments built.
inline TransferFunction built_curve(std::initializer_list<std::pair<double, double>> points) {
    TransferFunction f;
    for (const auto& [px, py] : points)
        f.insert(px, py);
    f.update_segments();
    return f;
}

// A curve made of one segment ending at x = 1.0 with the given coefficients.
inline TransferFunction one_segment(double c0, double c1 = 0, double c2 = 0, double c3 = 0) {
    TransferFunction f;
    f.segments[0] = CubicSegment{{c0, c1, c2, c3}};
    f.segments_built = true;
    return f;
}

// A random curve of 1 to 20 points with x ascending in (0, 1) and values in [0, 1].
inline TransferFunction random_curve(std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    TransferFunction f;
    const int inner = static_cast<int>(rng() % 20);
    for (int i = 0; i < inner; ++i)
        f.insert(0.001 + 0.998 * unit(rng), unit(rng));
    f.update_segments();
    return f;
}
