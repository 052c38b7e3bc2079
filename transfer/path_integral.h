#pragma once

#include "prepared_curve.h"

#include <algorithm>
#include <cmath>

// The inner kernel of the classification, shared by pre_integrate and classify: the averaging
// of one prepared curve along a grid point's path of normalised values.

// One grid point's path: n normalised values t[0..n-1] and, for each piece j >= 1, its length
// den[j] = (s[j] - s[j-1]) * inverse range and weight[j] = (1 / n) / den[j]. `finite` says
// that every t and every weight is a finite number, which the table-driven walk needs.
struct ValuePath {
    int n = 0;
    double r = 0.0; // 1 / n
    const double* t = nullptr;
    const double* den = nullptr;
    const double* weight = nullptr;
    bool finite = false;
};

// The path of n >= 1 samples s normalised as (s - low) * inv, in the buffers t, den and weight
// of n doubles each. A piece so short that 1 / length overflows makes the path not `finite`,
// so that the step-by-step walk divides by its length instead.
inline ValuePath value_path(const float* s, int n, double low, double inv, double* t, double* den,
                            double* weight) {
    const double r = 1.0 / n;
    t[0] = (s[0] - low) * inv;
    bool finite = std::isfinite(t[0]);
    for (int j = 1; j < n; ++j) {
        t[j] = (s[j] - low) * inv;
        den[j] = (static_cast<double>(s[j]) - s[j - 1]) * inv;
        weight[j] = r / den[j];
        finite = finite && std::isfinite(t[j]) && std::isfinite(weight[j]);
    }
    return ValuePath{n, r, t, den, weight, finite};
}

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
        if (path.den[j] == 0.0)
            sum += path.r * curve.value(k, b);
        else if (std::isfinite(path.weight[j]))
            sum += (fa - fh) * path.weight[j];
        else // a piece so short that 1/length overflows
            sum += path.r * (fa - fh) / path.den[j];
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

// integrate_path_ordered for a path of two finite values: one piece of non-zero length from
// t0 to t1 with weight w = (1/2) / length. Free of branches on the data.
// The piece from t0 (found below k positions) to t1 (found below k1_found positions).
[[gnu::always_inline]] inline double piece_mean(const PreparedCurve& curve, double t0, double t1,
                                                double w, int k, int k1_found) {
    const int segments = curve.count;
    const int last = segments - 1;
    const int k0c = std::min(k, last);
    // The larger of t0 and where segment k starts (equal only as +-0, which F maps to 0).
    const double h = max_of(t0, curve.previous_x[k]);
    const double fh = curve.antiderivative(k0c, h);
    const int k1 = std::max(k, k1_found);
    const int kc = std::min(k1, last);
    const double fa = curve.antiderivative(kc, t1);
    // Within segment k: fa - fh (the other two terms are exactly 0). Crossing: the rest of
    // segment k, the segments strictly between (a difference of running sums, 0 when there
    // are none) and the start of segment k1, if the piece ends inside the curve.
    const int after = std::min(k + 1, segments);
    const double first = pick(k1 == k, fa, curve.end_value[k0c]) - fh;
    const double middle = curve.through[std::max(k1, after)] - curve.through[after];
    const double rest = pick((k1 < segments) & (k1 != k), fa - curve.start_value[kc], 0.0);
    const double contribution = ((first + middle) + rest) * w;
    // While the first segment is current, values below 0 are passed over; nothing counts
    // once the path has left the last segment.
    const bool take = (k < segments) & !((k == 0) & (t1 < 0.0));
    // Added to 0.0 as the walks add to their sum: a descending piece over a zero curve gives
    // 0 * negative weight = -0.0, which the walks turn into +0.0.
    return 0.0 + pick(take, contribution, 0.0);
}

// integrate_path_ordered for a path of two finite values: one piece of non-zero length from
// t0 to t1 with weight w = (1/2) / length. Free of branches on the data.
inline double integrate_piece_ordered(const PreparedCurve& curve, double t0, double t1, double w) {
    return piece_mean(curve, t0, t1, w, curve.below(t0), curve.below(t1));
}

// The same with the values' buckets b0 and b1 already known, for a table with at most one
// position per bucket.
[[gnu::always_inline]] inline double integrate_piece_in(const PreparedCurve& curve, double t0,
                                                        double t1, double w, int b0, int b1) {
    return piece_mean(curve, t0, t1, w, curve.below_in(b0, t0), curve.below_in(b1, t1));
}

// The curve's mean along the path: the table-driven walk where it applies.
inline double integrate_path(const PreparedCurve& curve, const ValuePath& path) {
    if (curve.ordered && path.finite)
        return integrate_path_ordered(curve, path);
    return integrate_path_stepwise(curve, path);
}
