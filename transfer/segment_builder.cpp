#include "segment_builder.h"

#include <algorithm>
#include <cmath>

namespace {

bool all_finite(const double (&c)[4]) {
    bool finite = true;
    for (double ck : c)
        finite = finite && std::isfinite(ck);
    return finite;
}

// Two points at the same x (or a first point at x = 0) leave no width to ease across; such a
// segment holds its end value so that no NaN reaches the classification or the drawing.
void hold(double (&c)[4], double value) {
    c[0] = value;
    c[1] = c[2] = c[3] = 0.0;
}

} // namespace

SegmentBuilder& SegmentBuilder::instance() {
    // Intentionally leaked: curves may be drawn during static destruction of their owners.
    static SegmentBuilder* const shared = new SegmentBuilder;
    return *shared;
}

void SegmentBuilder::build(int i, int, const double* x, const double* y, CubicSegment& out) const {
    const double x0 = i >= 1 ? x[i - 1] : 0.0;
    const double y0 = i >= 1 ? y[i - 1] : 0.0;
    const double w = x[i] - x0;
    const double d = y[i] - y0;

    // The ease y0 + 3d s^2 - 2d s^3 in the local parameter s = (x - x0) / w.
    double c[4] = {y0, 0.0, 3.0 * d, -2.0 * d};

    // Rescale to t = x - x0: coefficient k times (1 / w)^k. This is the local form.
    const double r = 1.0 / w;
    double power = 1.0;
    for (double& ck : c) {
        ck *= power;
        power *= r;
    }
    double local[4] = {c[0], c[1], c[2], c[3]};

    // Re-expand about x = 0. Step k adds (-x0)^(j+1) * binom(k, j+1) * ck to c(k-1-j); each
    // coefficient is a source at its own step, before the next step adds to it.
    double binom[4] = {1.0, 0.0, 0.0, 0.0}; // row k of Pascal's triangle
    for (int k = 1; k <= 3; ++k) {
        for (int m = k; m >= 1; --m)
            binom[m] += binom[m - 1];
        double shift = 1.0;
        for (int j = 0; j < k; ++j) {
            shift *= -x0;
            c[k - 1 - j] += shift * binom[j + 1] * c[k];
        }
    }

    const bool absolute_finite = w != 0.0 && all_finite(c);
    const bool local_finite = w != 0.0 && all_finite(local);
    if (!absolute_finite)
        hold(c, y[i]);
    if (!local_finite)
        hold(local, y[i]);
    const double reach = std::max(std::fabs(x0), std::fabs(x[i]));
    out.narrow = local_finite && (!absolute_finite || reach > narrow_ratio * std::fabs(w));
    out.start = x0;
    for (int k = 0; k < 4; ++k) {
        out.coefficients[k] = c[k];
        out.local[k] = local[k];
    }
}
