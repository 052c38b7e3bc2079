#pragma once

#include "cubic_segment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The inner kernel of the classification, shared by pre_integrate and classify: a curve's
// segments with their antiderivative coefficients scaled once, and the averaging of one curve
// along a grid point's path of normalised values.

// Selections without jumps: the compiler turns plain conditionals on doubles into jumps, and
// on random data those are mispredicted about half the time. pick moves the bit patterns
// through a conditional move; the SSE2 minimum and maximum are single instructions.
inline double pick(bool c, double a, double b) {
    std::uint64_t ua, ub;
    std::memcpy(&ua, &a, sizeof ua);
    std::memcpy(&ub, &b, sizeof ub);
#if defined(__x86_64__)
    // The compiler may turn a conditional move back into a jump; this one it cannot.
    std::uint64_t r = ub;
    asm("test %[c], %[c]\n\tcmovne %[a], %[r]" : [r] "+r"(r) : [c] "r"(c), [a] "r"(ua) : "cc");
#else
    const std::uint64_t r = c ? ua : ub;
#endif
    double out;
    std::memcpy(&out, &r, sizeof out);
    return out;
}

// a > b ? a : b, and b when a is NaN.
inline double max_of(double a, double b) {
#if defined(__SSE2__)
    return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(a), _mm_set_sd(b)));
#else
    return a > b ? a : b;
#endif
}

// a < b ? a : b, and b when a is NaN.
inline double min_of(double a, double b) {
#if defined(__SSE2__)
    return _mm_cvtsd_f64(_mm_min_sd(_mm_set_sd(a), _mm_set_sd(b)));
#else
    return a < b ? a : b;
#endif
}

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
        const double b = (v - origin) * scale;
        return static_cast<int>(min_of(max_of(b, 0.0), buckets - 1.0)); // NaN gives 0
    }

    // The number of positions below v (for ordered positions): the segment that reaches v.
    // A table lookup and `crowd` comparisons instead of a scan.
    int below(double v) const {
        const int c = first_in_bucket[bucket(v)];
        if (crowd == 1) // the usual case: checked once per call, the same way every time
            return c + (padded_x[c] < v);
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

    // Sorts the positions into the search table's buckets, which split [lo, hi] evenly (by
    // default the positions' own span). Classification gives all four curves one table span
    // so that a value's bucket is found once for all of them.
    void search_over(double lo, double hi) {
        origin = lo;
        const double span = hi - lo;
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
            bucket_entry[b] = {below_sum, padded_x[below_sum]};
            below_sum += in_bucket[b];
            crowd = std::max(crowd, in_bucket[b]);
        }
    }

    void prepare_search() {
        search_over(count > 0 ? x[0] : 0.0, count > 0 ? x[count - 1] : 0.0);
        through[0] = 0.0;
        for (int k = 0; k < count; ++k)
            through[k + 1] = through[k] + whole[k];
        for (int k = 0; k <= count; ++k)
            previous_x[k] = k >= 1 ? x[k - 1] : 0.0;
        // What the four-lane pass loads per lane in one go, for k = 0 ... count.
        const int last = std::max(count - 1, 0);
        for (int k = 0; k <= count; ++k) {
            from_side[k][0] = previous_x[k];
            from_side[k][1] = end_value[std::min(k, last)];
            from_side[k][2] = through[std::min(k + 1, count)];
            from_side[k][3] = 0.0;
            to_side[k][0] = start_value[std::min(k, last)];
            to_side[k][1] = through[k];
            to_side[k][2] = to_side[k][3] = 0.0;
        }
    }

    // below(v) for a v in bucket b of a table with no more than one position per bucket.
    int below_in(int b, double v) const {
        const int c = first_in_bucket[b];
        return c + (padded_x[c] < v);
    }

    static constexpr int buckets = 1024;

    int count = 0;
    double x[capacity] = {};
    double poly[capacity][4] = {};
    double anti[capacity][4] = {};
    bool ordered = false;                 // positions finite and ascending
    double end_value[capacity] = {};      // F_k(x[k])
    double start_value[capacity] = {};    // F_k(x[k - 1]), for k >= 1
    double whole[capacity] = {};          // end_value - start_value
    double through[capacity + 1] = {};    // whole[0] + ... + whole[k - 1]
    double previous_x[capacity + 1] = {}; // where segment k starts: x[k - 1], 0 for k = 0
    // Per segment index k: {previous_x, end_value, through[k + 1]} for where a piece starts,
    // {start_value, through[k]} for where it ends (indices clamped into the curve).
    double from_side[capacity + 1][4] = {};
    double to_side[capacity + 1][4] = {};
    // The search table: positions are sorted into `buckets` equal buckets over their span;
    // first_in_bucket[b] is the number of positions in lower buckets, and no bucket holds
    // more than `crowd` of them. padded_x is x followed by +infinity.
    double origin = 0.0;
    double scale = 0.0;
    int crowd = 0;
    unsigned char first_in_bucket[buckets] = {};
    double padded_x[2 * capacity + 1] = {};
    // first_in_bucket with the position it names, for loading both at once.
    struct BucketEntry {
        std::int64_t first;
        double position;
    };
    BucketEntry bucket_entry[buckets] = {};
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
    return pick(take, contribution, 0.0);
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

// The curve's mean along the path; `finite` says all of path.t are finite numbers.
inline double integrate_path(const PreparedCurve& curve, const ValuePath& path, bool finite) {
    if (curve.ordered && finite)
        return integrate_path_ordered(curve, path);
    return integrate_path_stepwise(curve, path);
}
