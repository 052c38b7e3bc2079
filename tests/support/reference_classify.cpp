#include "reference_classify.h"

#include "shared_constants.h"
#include "transfer_function.h"
#include "volume.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

// The curve's value at u as classification reads it: the segment that reaches u, 0 below 0
// and past the last position.
long double curve_at(const CubicSegment* segments, int count, const double* x, long double u) {
    if (!(u >= 0.0L))
        return 0.0L;
    for (int k = 0; k < count; ++k)
        if (u <= x[k])
            return polynomial(segments[k], static_cast<double>(u));
    return 0.0L;
}

double reference_exact_pre_integrate(const CubicSegment* segments, int count, int n, double low,
                                     double inverse_range, const double* x, const float* s) {
    // Five-point Gauss-Legendre on 16 panels of every stretch between positions.
    static const long double node[5] = {0.0L, -0.5384693101056831L, 0.5384693101056831L,
                                        -0.9061798459386640L, 0.9061798459386640L};
    static const long double weight[5] = {0.5688888888888889L, 0.4786286704993665L,
                                          0.4786286704993665L, 0.2369268850561891L,
                                          0.2369268850561891L};
    const auto integral = [&](long double a, long double b) {
        std::vector<long double> cuts{a};
        for (int k = 0; k < count; ++k)
            if (x[k] > a && x[k] < b)
                cuts.push_back(x[k]);
        cuts.push_back(b);
        std::sort(cuts.begin(), cuts.end());
        long double sum = 0.0L;
        for (std::size_t i = 1; i < cuts.size(); ++i) {
            const long double step = (cuts[i] - cuts[i - 1]) / 16.0L;
            for (int panel = 0; panel < 16; ++panel) {
                const long double mid = cuts[i - 1] + (panel + 0.5L) * step;
                for (int g = 0; g < 5; ++g)
                    sum += 0.5L * step * weight[g] *
                           curve_at(segments, count, x, mid + 0.5L * step * node[g]);
            }
        }
        return sum;
    };
    const float twice[2] = {s[0], s[0]};
    if (n == 1) {
        s = twice;
        n = 2;
    }
    long double sum = 0.0L;
    for (int j = 1; j < n; ++j) {
        const long double a = (s[j - 1] - low) * inverse_range, b = (s[j] - low) * inverse_range;
        // The part of the piece where the curve is not 0, divided by the whole length.
        const long double lo = std::max(std::min(a, b), 0.0L), hi = std::max(a, b);
        if (a == b)
            sum += curve_at(segments, count, x, a) / n;
        else if (hi > lo)
            sum += integral(lo, hi) / std::fabs(b - a) / n;
    }
    return static_cast<double>(sum);
}

bool reference_classify(Volume& target, const Volume& source,
                        const TransferFunction* const (&curves)[4], double low, double range,
                        PathIntegration integration) {
    if (source.nx != target.nx || source.ny != target.ny || source.nz != target.nz)
        return false;
    if (!std::isfinite(low) || !std::isfinite(range) || range == 0.0)
        return false;
    const double inv = 1.0 / range;
    const int n = source.ncomp;
    const auto mean = [&](const TransferFunction& f, const float* p) {
        return integration == PathIntegration::exact
                   ? reference_exact_pre_integrate(f.segments, f.count, n, low, inv, f.x, p)
                   : reference_pre_integrate(f.segments, f.count, n, low, inv, f.x, p);
    };
    for (int z = 0; z < source.nz; z++) {
        for (int y = 0; y < source.ny; y++) {
            for (int x = 0; x < source.nx; x++) {
                const float* p = source.samples +
                                 ((static_cast<long long>(z) * source.ny + y) * source.nx + x) * n;
                float* q = target.samples +
                           ((static_cast<long long>(z) * source.ny + y) * source.nx + x) * 4;
                if (is_missing_point(p[0])) {
                    const int c[3] = {x, y, z};
                    const int e[3] = {source.nx, source.ny, source.nz};
                    int w = 0;
                    for (int bz = std::max(z - 1, 0); bz < std::min(z + 2, e[2]); bz++)
                        for (int by = std::max(y - 1, 0); by < std::min(y + 2, e[1]); by++)
                            for (int bx = std::max(x - 1, 0); bx < std::min(x + 2, e[0]); bx++)
                                if (is_missing_point(
                                        source.samples[((static_cast<long long>(bz) * source.ny +
                                                         by) *
                                                            source.nx +
                                                        bx) *
                                                       n]))
                                    w++;
                    int d = 1;
                    for (int axis = 0; axis < 3; axis++)
                        d *= 2 + (c[axis] + 2 > e[axis] ? 1 : 0) + (c[axis] < 1 ? 1 : 0);
                    q[0] = q[1] = q[2] = 0.75f;
                    q[3] = static_cast<float>(0.8 + 0.2 * w / d);
                } else {
                    for (int channel = 0; channel < 4; ++channel) {
                        const double m = mean(*curves[channel], p);
                        q[channel] = static_cast<float>(channel == 3 ? opacity_factor * m : m);
                    }
                }
            }
        }
    }
    target.valid = true;
    return true;
}

// The forward walk exactly as classification computed it before the walks were rebuilt around
// one piece kernel: the table-driven walk for ordered curves and paths whose values and weights
// are all finite, the step-by-step walk otherwise. Its own copy of the curve preparation, so
// that nothing shared with the classification can hide a change.
namespace {

struct BaselineCurve {
    int count = 0;
    double x[20] = {};
    double poly[20][4] = {};
    double anti[20][4] = {};
    double shift[20] = {};
    bool shifted = false;
    bool ordered = false;
    double end_value[20] = {};
    double start_value[20] = {};
    double through[21] = {};

    BaselineCurve(const CubicSegment* segments, int n_segments, const double* positions) {
        count = std::clamp(n_segments, 0, 20);
        for (int k = 0; k < count; ++k) {
            const CubicSegment& segment = segments[k];
            const double* c = segment.narrow ? segment.local : segment.coefficients;
            shift[k] = segment.narrow ? segment.start : 0.0;
            shifted = shifted || segment.narrow;
            x[k] = positions[k];
            for (int m = 0; m < 4; ++m)
                poly[k][m] = c[m];
            anti[k][0] = c[0];
            anti[k][1] = c[1] * 0.5;
            anti[k][2] = c[2] * (1.0 / 3.0);
            anti[k][3] = c[3] * 0.25;
        }
        ordered = count > 0;
        for (int k = 0; k < count; ++k) {
            ordered = ordered && std::isfinite(x[k]) && (k == 0 || x[k - 1] <= x[k]);
            end_value[k] = antiderivative(k, x[k]);
            start_value[k] = k > 0 ? antiderivative(k, x[k - 1]) : 0.0;
            through[k + 1] = through[k] + (end_value[k] - start_value[k]);
        }
    }
    int below(double v) const {
        int k = 0;
        for (int i = 0; i < count; ++i)
            k += x[i] < v;
        return k;
    }
    double antiderivative(int k, double u) const {
        const double* a = anti[k];
        const double v = shifted ? u - shift[k] : u;
        return v * (a[0] + v * (a[1] + v * (a[2] + v * a[3])));
    }
    double value(int k, double u) const {
        const double* c = poly[k];
        const double v = shifted ? u - shift[k] : u;
        return c[0] + v * (c[1] + v * (c[2] + v * c[3]));
    }
};

double baseline_stepwise(const BaselineCurve& curve, int n, double r, const double* t,
                         const double* den, const double* weight) {
    const int segments = curve.count;
    const double* xs = curve.x;
    if (segments <= 0)
        return 0.0;
    double sum = 0.0;
    int j = 1;
    int k = 0;
    while (k < segments && xs[k] < t[0])
        ++k;
    double h = std::max(t[0], k >= 1 ? xs[k - 1] : 0.0);
    double fh = k < segments ? curve.antiderivative(k, h) : 0.0;
    const auto step = [&]() {
        const double b = t[j];
        const double xk = xs[k];
        const double a = std::min(b, xk);
        const double fa = curve.antiderivative(k, a);
        if (den[j] == 0.0)
            sum += r * curve.value(k, b);
        else if (std::isfinite(weight[j]))
            sum += (fa - fh) * weight[j];
        else
            sum += r * (fa - fh) / den[j];
        h = a;
        fh = fa;
        return xk < b;
    };
    const auto next_segment = [&]() {
        if (++k < segments)
            fh = curve.antiderivative(k, h);
    };
    while (k == 0) {
        if (j >= n)
            return sum;
        while (t[j] < 0.0)
            if (++j == n)
                return 0.0;
        if (step())
            next_segment();
        else
            ++j;
    }
    while (k < segments && j < n) {
        if (step())
            next_segment();
        else
            ++j;
    }
    return sum;
}

double baseline_ordered(const BaselineCurve& curve, int n, double r, const double* t,
                        const double* den, const double* weight) {
    const int segments = curve.count;
    const int last = segments - 1;
    int k = curve.below(t[0]);
    const double h = std::max(t[0], k >= 1 ? curve.x[k - 1] : 0.0);
    double fh = curve.antiderivative(std::min(k, last), h);
    double sum = 0.0;
    for (int j = 1; j < n; ++j) {
        const double tj = t[j];
        const int k1 = std::max(k, curve.below(tj));
        const int kc = std::min(k1, last);
        const double fa = curve.antiderivative(kc, tj);
        const double middle = k1 > k + 1 ? curve.through[k1] - curve.through[k + 1] : 0.0;
        const double crossing = (curve.end_value[std::min(k, last)] - fh) + middle +
                                (k1 < segments ? fa - curve.start_value[kc] : 0.0);
        const double piece = k1 == k ? fa - fh : crossing;
        double contribution = piece * weight[j];
        if (den[j] == 0.0)
            contribution = r * curve.value(kc, tj);
        const bool take = k < segments && !(k == 0 && tj < 0.0);
        sum += take ? contribution : 0.0;
        k = take ? k1 : k;
        fh = take ? fa : fh;
    }
    return (k == 0 && t[n - 1] < 0.0) ? 0.0 : sum;
}

} // namespace

double baseline_pre_integrate(const CubicSegment* segments, int count, int n, double low,
                              double inverse_range, const double* x, const float* s) {
    const BaselineCurve curve(segments, count, x);
    std::vector<double> t(n), den(n), weight(n);
    const double r = 1.0 / n;
    t[0] = (s[0] - low) * inverse_range;
    bool finite = std::isfinite(t[0]);
    for (int j = 1; j < n; ++j) {
        t[j] = (s[j] - low) * inverse_range;
        den[j] = (static_cast<double>(s[j]) - s[j - 1]) * inverse_range;
        weight[j] = r / den[j];
        finite = finite && std::isfinite(t[j]) && std::isfinite(weight[j]);
    }
    if (curve.ordered && finite)
        return baseline_ordered(curve, n, r, t.data(), den.data(), weight.data());
    return baseline_stepwise(curve, n, r, t.data(), den.data(), weight.data());
}
