#include "curve_fit.h"

#include "segment_builder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int steps = ChannelSamples::steps;
constexpr double unreachable = std::numeric_limits<double>::infinity();

// Sample index of a position on the sample grid.
int index_of(double x) {
    return static_cast<int>(std::lround(x * steps));
}

// The segment from (x0, y0) to (x1, y1) as the curve holds it; the origin's segment when
// x0 is 0 and y0 is 0 is the same ease.
CubicSegment segment_between(double x0, double y0, double x1, double y1) {
    const double x[2] = {x0, x1};
    const double y[2] = {y0, y1};
    CubicSegment s;
    SegmentBuilder::instance().build(1, 2, x, y, s);
    return s;
}

// Evaluated in its local variable, which is exact for every width.
double value_at(const CubicSegment& s, double x) {
    const double v = x - s.start;
    return s.local[0] + v * (s.local[1] + v * (s.local[2] + v * s.local[3]));
}

// The largest difference from the counted samples in (first, last] (the sample at `first`
// belongs to the segment before, which ends there with the same value).
double segment_error(const CubicSegment& s, const ChannelSamples& samples, int first, int last) {
    double worst = 0.0;
    for (int k = std::max(first, 0) + 1; k <= last; ++k)
        if (samples.counted[k])
            worst = std::max(worst, std::fabs(value_at(s, double(k) / steps) - samples.value[k]));
    return worst;
}

} // namespace

void count_measured_span(ChannelSamples& samples) {
    const int first = index_of(fit_margin);
    const int last = index_of(1.0 - fit_margin);
    for (int k = 0; k <= steps; ++k)
        samples.counted[k] = k >= first && k <= last;
}

void skip_jump(ChannelSamples& samples, double x) {
    // Strictly within one knot spacing: the knot positions either side stay counted.
    for (int k = 0; k <= steps; ++k)
        if (std::fabs(double(k) / steps - x) < knot_spacing - 0.5 / steps)
            samples.counted[k] = false;
}

CurveFit fit_channel(const ChannelSamples& samples, const FitLimits& limits) {
    // Nodes: the origin, the knot positions of the measured span, the final point.
    std::vector<int> at{0};
    const int spacing = index_of(knot_spacing);
    for (int k = index_of(fit_margin); k <= index_of(1.0 - fit_margin); k += spacing)
        at.push_back(k);
    at.push_back(steps);
    const int nodes = static_cast<int>(at.size());
    const int end = nodes - 1;
    const auto node_y = [&](int n) { return n == 0 || n == end ? 0.0 : samples.value[at[n]]; };

    // The largest difference of every segment from node i to a later node j.
    std::vector<double> error(static_cast<std::size_t>(nodes) * nodes, unreachable);
    for (int i = 0; i < end; ++i)
        for (int j = i + 1; j < nodes; ++j) {
            const CubicSegment s =
                segment_between(double(at[i]) / steps, node_y(i), double(at[j]) / steps, node_y(j));
            error[std::size_t(i) * nodes + j] = segment_error(s, samples, at[i], at[j]);
        }

    // best[k][j]: the smallest largest difference of k segments from the origin to node j.
    // Segments, one per point.
    const int most = std::clamp(limits.most_points, 1, int(CurvePoints::capacity));
    std::vector<double> best(std::size_t(most + 1) * nodes, unreachable);
    std::vector<int> from(std::size_t(most + 1) * nodes, -1);
    best[0] = 0.0;
    int chosen = 0;
    for (int k = 1; k <= most; ++k) {
        for (int j = 1; j < nodes; ++j) {
            double& b = best[std::size_t(k) * nodes + j];
            for (int i = 0; i < j; ++i) {
                const double e = std::max(best[std::size_t(k - 1) * nodes + i],
                                          error[std::size_t(i) * nodes + j]);
                if (e < b) {
                    b = e;
                    from[std::size_t(k) * nodes + j] = i;
                }
            }
        }
        const double reached = best[std::size_t(k) * nodes + end];
        if (!chosen || reached < best[std::size_t(chosen) * nodes + end])
            chosen = k;
        if (reached <= limits.tolerance)
            break;
    }

    CurveFit fit;
    fit.max_error = best[std::size_t(chosen) * nodes + end];
    fit.points.count = chosen;
    for (int k = chosen, n = end; k >= 1; --k) {
        fit.points.x[k - 1] = double(at[n]) / steps;
        fit.points.y[k - 1] = node_y(n);
        n = from[std::size_t(k) * nodes + n];
    }
    return fit;
}

double fit_error(const CurvePoints& points, const ChannelSamples& samples) {
    CubicSegment segments[CurvePoints::capacity];
    for (int i = 0; i < points.count; ++i)
        segments[i] = segment_between(i ? points.x[i - 1] : 0.0, i ? points.y[i - 1] : 0.0,
                                      points.x[i], points.y[i]);
    double worst = 0.0;
    int i = 0; // the segment that reaches the sample: the first point at or beyond it
    for (int k = 0; k <= steps; ++k) {
        const double x = double(k) / steps;
        while (i < points.count && points.x[i] < x)
            ++i;
        if (samples.counted[k]) {
            const double curve = i < points.count ? value_at(segments[i], x) : 0.0;
            worst = std::max(worst, std::fabs(curve - samples.value[k]));
        }
    }
    return worst;
}
