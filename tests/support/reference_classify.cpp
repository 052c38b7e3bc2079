#include "reference_classify.h"

#include "transfer_function.h"
#include "volume.h"

#include <algorithm>
#include <cmath>

namespace {

// A narrow segment is read in its local variable u - start, every other one in u.
double antiderivative(const CubicSegment& segment, double u) {
    const double* c = segment.narrow ? segment.local : segment.coefficients;
    const double v = segment.narrow ? u - segment.start : u;
    const double c1 = c[1] * 0.5;
    const double c2 = c[2] * (1.0 / 3.0);
    const double c3 = c[3] * 0.25;
    return v * (c[0] + v * (c1 + v * (c2 + v * c3)));
}

double polynomial(const CubicSegment& segment, double u) {
    const double* c = segment.narrow ? segment.local : segment.coefficients;
    const double v = segment.narrow ? u - segment.start : u;
    return c[0] + v * (c[1] + v * (c[2] + v * c[3]));
}

} // namespace

double reference_pre_integrate(const CubicSegment* segments, int count, int n, double low,
                               double inverse_range, const double* x, const float* s) {
    const double r = 1.0 / n;
    double sum = 0.0;
    int j = 1;
    int k = 0;
    const auto t = [&](int i) { return (s[i] - low) * inverse_range; };
    // One piece's part within segment k, from h to a.
    const auto contribution = [&](double a, double h) {
        const double length = (static_cast<double>(s[j]) - s[j - 1]) * inverse_range;
        if (length == 0.0)
            return r * polynomial(segments[k], t(j));
        return r * (antiderivative(segments[k], a) - antiderivative(segments[k], h)) / length;
    };

    while (k < count && x[k] < t(0))
        k++;
    double h = std::max(t(0), k >= 1 ? x[k - 1] : 0.0);
    while (k == 0) {
        if (j >= n)
            return sum;
        while (t(j) < 0.0) {
            j++;
            if (j == n)
                return 0.0;
        }
        const double b = t(j);
        const double a = std::min(b, x[k]);
        sum = sum + contribution(a, h);
        h = a;
        if (x[k] < b)
            k++;
        else
            j++;
    }
    while (k < count && j < n) {
        const double b = t(j);
        const double a = std::min(b, x[k]);
        sum = sum + contribution(a, h);
        h = a;
        if (x[k] < b)
            k++;
        else
            j++;
    }
    return sum;
}

bool reference_classify(Volume& target, const Volume& source, const TransferFunction& red,
                        const TransferFunction& green, const TransferFunction& blue,
                        const TransferFunction& opacity, double low, double range) {
    if (source.nx != target.nx || source.ny != target.ny || source.nz != target.nz)
        return false;
    if (!std::isfinite(low) || !std::isfinite(range) || range == 0.0)
        return false;
    const double inv = 1.0 / range;
    const int n = source.ncomp;
    for (int z = 0; z < source.nz; z++) {
        for (int y = 0; y < source.ny; y++) {
            for (int x = 0; x < source.nx; x++) {
                const float* p = source.samples +
                                 ((static_cast<long long>(z) * source.ny + y) * source.nx + x) * n;
                float* q = target.samples +
                           ((static_cast<long long>(z) * source.ny + y) * source.nx + x) * 4;
                if (p[0] < -100) {
                    const int c[3] = {x, y, z};
                    const int e[3] = {source.nx, source.ny, source.nz};
                    int w = 0;
                    for (int bz = std::max(z - 1, 0); bz < std::min(z + 2, e[2]); bz++)
                        for (int by = std::max(y - 1, 0); by < std::min(y + 2, e[1]); by++)
                            for (int bx = std::max(x - 1, 0); bx < std::min(x + 2, e[0]); bx++)
                                if (source.samples[((static_cast<long long>(bz) * source.ny + by) *
                                                        source.nx +
                                                    bx) *
                                                   n] < -100)
                                    w++;
                    int d = 1;
                    for (int axis = 0; axis < 3; axis++)
                        d *= 2 + (c[axis] + 2 > e[axis] ? 1 : 0) + (c[axis] < 1 ? 1 : 0);
                    q[0] = q[1] = q[2] = 0.75f;
                    q[3] = static_cast<float>(0.8 + 0.2 * w / d);
                } else {
                    q[0] = static_cast<float>(
                        reference_pre_integrate(red.segments, red.count, n, low, inv, red.x, p));
                    q[1] = static_cast<float>(reference_pre_integrate(green.segments, green.count,
                                                                      n, low, inv, green.x, p));
                    q[2] = static_cast<float>(
                        reference_pre_integrate(blue.segments, blue.count, n, low, inv, blue.x, p));
                    q[3] = static_cast<float>(2.0 * reference_pre_integrate(opacity.segments,
                                                                            opacity.count, n, low,
                                                                            inv, opacity.x, p));
                }
            }
        }
    }
    target.valid = true;
    return true;
}
