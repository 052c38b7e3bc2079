#pragma once

#include "cubic_segment.h"

#include <algorithm>
#include <cmath>

// The inner kernel of the classification, shared by pre_integrate and classify: a curve's
// segments with their antiderivative coefficients scaled once, and the averaging of one curve
// along a grid point's path of normalised values.

struct PreparedCurve {
    static constexpr int capacity = 20;

    // Copies up to 20 segments and positions and pre-scales the antiderivative coefficients.
    void prepare(const CubicSegment* segments, int n_segments, const double* positions) {
        count = std::clamp(n_segments, 0, capacity);
        for (int k = 0; k < count; ++k) {
            const double* c = segments[k].coefficients;
            x[k] = positions[k];
            for (int m = 0; m < 4; ++m)
                poly[k][m] = c[m];
            anti[k][0] = c[0];
            anti[k][1] = c[1] * 0.5;
            anti[k][2] = c[2] * (1.0 / 3.0);
            anti[k][3] = c[3] * 0.25;
        }
        // What every path through a whole segment adds: F_k(x[k]) - F_k(x[k - 1]).
        ordered = count > 0;
        for (int k = 0; k < count; ++k) {
            ordered = ordered && std::isfinite(x[k]) && (k == 0 || x[k - 1] <= x[k]);
            end_value[k] = antiderivative(k, x[k]);
            start_value[k] = k > 0 ? antiderivative(k, x[k - 1]) : 0.0;
            whole[k] = end_value[k] - start_value[k];
        }
        prepare_search();
    }

    // Which bucket of the positions' span v falls in. Monotone in v, so a position in a lower
    // bucket than v lies below v and one in a higher bucket above it.
    int bucket(double v) const {
        double b = (v - origin) * scale;
        b = b > 0.0 ? b : 0.0; // also catches NaN
        b = b < buckets - 1.0 ? b : buckets - 1.0;
        return static_cast<int>(b);
    }

    // The number of positions below v (for ordered positions): the segment that reaches v.
    // A table lookup and `crowd` comparisons instead of a scan.
    int below(double v) const {
        const int c = first_in_bucket[bucket(v)];
        int extra = 0;
        for (int i = 0; i < crowd; ++i)
            extra += padded_x[c + i] < v;
        return c + extra;
    }

    // Segment k's antiderivative u (c0 + u (c1/2 + u (c2/3 + u c3/4))).
    double antiderivative(int k, double u) const {
        const double* a = anti[k];
        return u * (a[0] + u * (a[1] + u * (a[2] + u * a[3])));
    }

    // Segment k's polynomial at u.
    double value(int k, double u) const {
        const double* c = poly[k];
        return c[0] + u * (c[1] + u * (c[2] + u * c[3]));
    }

    void prepare_search() {
        origin = count > 0 ? x[0] : 0.0;
        const double span = count > 0 ? x[count - 1] - origin : 0.0;
        scale = span > 0.0 && std::isfinite(buckets / span) ? buckets / span : 0.0;
        for (int i = 0; i < 2 * capacity + 1; ++i)
            padded_x[i] = i < count ? x[i] : INFINITY;
        int in_bucket[buckets] = {};
        for (int k = 0; k < count; ++k)
            ++in_bucket[bucket(x[k])];
        int below_sum = 0;
        crowd = 0;
        for (int b = 0; b < buckets; ++b) {
            first_in_bucket[b] = static_cast<unsigned char>(below_sum);
            below_sum += in_bucket[b];
            crowd = std::max(crowd, in_bucket[b]);
        }
        through[0] = 0.0;
        for (int k = 0; k < count; ++k)
            through[k + 1] = through[k] + whole[k];
    }

    static constexpr int buckets = 512;

    int count = 0;
    double x[capacity] = {};
    double poly[capacity][4] = {};
    double anti[capacity][4] = {};
    bool ordered = false;              // positions finite and ascending
    double end_value[capacity] = {};   // F_k(x[k])
    double start_value[capacity] = {}; // F_k(x[k - 1]), for k >= 1
    double whole[capacity] = {};       // end_value - start_value
    double through[capacity + 1] = {}; // whole[0] + ... + whole[k - 1]
    // The search table: positions are sorted into `buckets` equal buckets over their span;
    // first_in_bucket[b] is the number of positions in lower buckets, and no bucket holds
    // more than `crowd` of them. padded_x is x followed by +infinity.
    double origin = 0.0;
    double scale = 0.0;
    int crowd = 0;
    unsigned char first_in_bucket[buckets] = {};
    double padded_x[2 * capacity + 1] = {};
};

// One grid point's path: n normalised values t[0..n-1] and, for each piece j >= 1, its length
// den[j] = (s[j] - s[j-1]) * inverse range and weight[j] = (1 / n) / den[j].
struct ValuePath {
    int n = 0;
    double r = 0.0; // 1 / n
    const double* t = nullptr;
    const double* den = nullptr;
    const double* weight = nullptr;
};

// The curve's mean along the path, each piece weighted by 1/n. Each piece is split at the
// segment ends it crosses and integrated exactly; the segment index only moves forward, so a
// descending piece is integrated with the current segment. While the first segment is
// current, values below 0 are passed over (and if none at or above 0 remains, the result is
// 0). Nothing contributes once the path leaves the last segment.
//
// A piece of length zero contributes (1/n) times the current segment's value there: the limit
// of its mean. F_k(h) is carried from one step to the next instead of being evaluated again;
// it is the same number.
inline double integrate_path_stepwise(const PreparedCurve& curve, const ValuePath& path) {
    const int segments = curve.count;
    const int n = path.n;
    const double* t = path.t;
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

    // One step over piece j within segment k; returns whether the piece goes on into the next
    // segment.
    const auto step = [&]() {
        const double b = t[j];
        const double xk = xs[k];
        const double a = std::min(b, xk);
        const double fa = curve.antiderivative(k, a);
        if (path.den[j] != 0.0)
            sum += (fa - fh) * path.weight[j];
        else
            sum += path.r * curve.value(k, b);
        h = a;
        fh = fa;
        return xk < b;
    };

    // Moves on to the next segment; F_k(h) is then evaluated afresh.
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

// The same mean for an ordered curve and finite values, one piece at a time and without
// branches on the data: the segment where a piece ends is looked up in a table, the segments
// it crosses whole add their precomputed integrals, and only the segment where it ends needs
// its antiderivative evaluated. The terms are grouped differently from the step-by-step walk,
// so results agree with it to rounding.
inline double integrate_path_ordered(const PreparedCurve& curve, const ValuePath& path) {
    const int segments = curve.count;
    const int last = segments - 1;
    const int n = path.n;
    const double* t = path.t;

    int k = curve.below(t[0]);
    const double h = std::max(t[0], k >= 1 ? curve.x[k - 1] : 0.0);
    double fh = curve.antiderivative(std::min(k, last), h);
    double sum = 0.0;
    for (int j = 1; j < n; ++j) {
        const double tj = t[j];
        const int k1 = std::max(k, curve.below(tj));
        const int kc = std::min(k1, last);
        const double fa = curve.antiderivative(kc, tj);
        // Past the end of segment k, through the segments strictly between, into segment k1.
        const double middle = k1 > k + 1 ? curve.through[k1] - curve.through[k + 1] : 0.0;
        const double crossing = (curve.end_value[std::min(k, last)] - fh) + middle +
                                (k1 < segments ? fa - curve.start_value[kc] : 0.0);
        const double piece = k1 == k ? fa - fh : crossing;
        double contribution = piece * path.weight[j];
        if (path.den[j] == 0.0) // rare: a piece of length zero
            contribution = path.r * curve.value(kc, tj);
        // While the first segment is current, values below 0 are passed over; nothing counts
        // once the path has left the last segment.
        const bool take = k < segments && !(k == 0 && tj < 0.0);
        sum += take ? contribution : 0.0;
        k = take ? k1 : k;
        fh = take ? fa : fh;
    }
    // The first segment still current and the last value below 0: the walk ran out of values
    // while passing over them, and the result is 0.
    return (k == 0 && t[n - 1] < 0.0) ? 0.0 : sum;
}

// integrate_path_ordered for a path of two values: one piece from t0 to t1 with length den
// and weight w. Free of branches on the data, so that the four curves of a grid point can run
// side by side.
[[gnu::always_inline]] inline double integrate_piece_ordered(const PreparedCurve& curve, double t0,
                                                             double t1, double den, double w,
                                                             double r) {
    const int segments = curve.count;
    const int last = segments - 1;
    const int k = curve.below(t0);
    const int k0c = std::min(k, last);
    const double h = std::max(t0, k >= 1 ? curve.x[k - 1] : 0.0);
    const double fh = curve.antiderivative(k0c, h);
    const int k1 = std::max(k, curve.below(t1));
    const int kc = std::min(k1, last);
    const double fa = curve.antiderivative(kc, t1);
    const double middle = k1 > k + 1 ? curve.through[k1] - curve.through[k + 1] : 0.0;
    const double crossing =
        (curve.end_value[k0c] - fh) + middle + (k1 < segments ? fa - curve.start_value[kc] : 0.0);
    const double piece = k1 == k ? fa - fh : crossing;
    const double contribution = den != 0.0 ? piece * w : r * curve.value(kc, t1);
    const bool take = k < segments && !(k == 0 && t1 < 0.0);
    return take ? contribution : 0.0;
}

// The curve's mean along the path; `finite` says all of path.t are finite numbers.
inline double integrate_path(const PreparedCurve& curve, const ValuePath& path, bool finite) {
    if (curve.ordered && finite)
        return integrate_path_ordered(curve, path);
    return integrate_path_stepwise(curve, path);
}
