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
    f.mark_changed();
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

// The curve's exact value at u, from its points alone (the cubic ease in s = (u - x0) / w), in
// long double: the yardstick for curves whose segments are too narrow for double arithmetic.
inline long double exact_ease(const TransferFunction& f, long double u) {
    long double x0 = 0.0L, y0 = 0.0L;
    for (int i = 0; i < f.count; ++i) {
        const long double x1 = f.x[i], y1 = f.y[i];
        if (u <= x1 && x1 > x0) {
            const long double s = (u - x0) / (x1 - x0);
            return y0 + (y1 - y0) * s * s * (3.0L - 2.0L * s);
        }
        x0 = x1;
        y0 = y1;
    }
    return 0.0L;
}

// The exact integral of the curve from a to b (0 <= a <= b <= 1) from its points, in long
// double: each stretch between points integrated in closed form.
inline long double exact_integral(const TransferFunction& f, long double a, long double b) {
    long double sum = 0.0L, x0 = 0.0L, y0 = 0.0L;
    for (int i = 0; i < f.count; ++i) {
        const long double x1 = f.x[i], y1 = f.y[i], w = x1 - x0, d = y1 - y0;
        const long double lo = a > x0 ? a : x0, hi = b < x1 ? b : x1;
        if (hi > lo && w > 0.0L) {
            // y0 + d (3s^2 - 2s^3) integrated over s from 0 to S is w (y0 S + d (S^3 - S^4 / 2)).
            const auto G = [&](long double u) {
                const long double s = (u - x0) / w;
                return w * (y0 * s + d * (s * s * s - 0.5L * s * s * s * s));
            };
            sum += G(hi) - G(lo);
        }
        x0 = x1;
        y0 = y1;
    }
    return sum;
}
