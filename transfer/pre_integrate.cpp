#include "pre_integrate.h"

#include "path_integral.h"

#include <cmath>
#include <memory>
#include <new>

double pre_integrate(const CubicSegment* segments, int count, int n, double low,
                     double inverse_range, const double* x, const float* values) {
    if (n < 1)
        return 0.0;
    PreparedCurve curve;
    curve.prepare(segments, count, x);

    constexpr int local = 64;
    double local_buffer[3 * local];
    std::unique_ptr<double[]> heap;
    double* buffer = local_buffer;
    if (n > local) {
        heap.reset(new (std::nothrow) double[3 * static_cast<std::size_t>(n)]);
        if (!heap)
            return 0.0;
        buffer = heap.get();
    }
    double* t = buffer;
    double* den = buffer + n;
    double* weight = buffer + 2 * n;
    const double r = 1.0 / n;
    bool finite = true;
    for (int j = 0; j < n; ++j) {
        t[j] = (values[j] - low) * inverse_range;
        finite = finite && std::isfinite(t[j]);
        if (j >= 1) {
            den[j] = (static_cast<double>(values[j]) - values[j - 1]) * inverse_range;
            weight[j] = r / den[j];
        }
    }
    return integrate_path(curve, ValuePath{n, r, t, den, weight}, finite);
}
