#include "pre_integrate.h"

#include "path_integral.h"

#include <memory>
#include <new>

double pre_integrate(const CubicSegment* segments, int count, int n, double low,
                     double inverse_range, const double* x, const float* values,
                     PathIntegration integration) {
    if (n < 1)
        return 0.0;
    PreparedCurve curve;
    curve.prepare(segments, count, x);
    float twice[2];
    n = path_samples(values, n, integration, twice);

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
    const ValuePath path =
        value_path(values, n, low, inverse_range, buffer, buffer + n, buffer + 2 * n);
    return integrate_path(curve, path, integration);
}
