#pragma once

#include "classify.h"
#include "prepared_curve.h"

#include <algorithm>
#include <cmath>

// The inner kernel of the classification, shared by pre_integrate and classify: the averaging
// of one prepared curve along a grid point's path of normalised values.
//
// The rule for one piece, from value t_{j-1} to t_j of a path of n values: it contributes
// (F_k(a) - F_k(h)) * w for each segment k it passes through, h and a being where it enters and
// leaves the segment, F_k the segment's antiderivative and w = (1/n) / (t_j - t_{j-1}) its
// weight. What counts: while the first segment is current, a piece ending below 0 is passed
// over (the curve is 0 there); nothing counts once the walk stands past the last position.
// Forward, the segment index only moves forward, so a descending piece is integrated with the
// segment where it starts; exact, a descending piece counts as the same piece running upwards.
// Two forms compute it: the table kernel (piece_between), which adds the precomputed integrals
// of the segments a piece crosses whole, for ordered curves and ordinary pieces; and the step
// through one segment at a time (step_piece, step_piece_down), for everything else. They group
// their terms differently, so their results agree to rounding.

// A sample's normalised value (inv = 1 / range, computed once per classification).
inline double normalised(float s, double low, double inv) {
    return (s - low) * inv;
}

// A piece's length in normalised values, from its two samples.
inline double piece_length(float s0, float s1, double inv) {
    return (static_cast<double>(s1) - s0) * inv;
}

// The one rule for special values: a piece is ordinary when both its normalised values and its
// weight are finite numbers. That leaves out NaN and infinite values, pieces of length zero
// (their weight is infinite) and pieces so short that the weight overflows. Ordinary pieces
// through ordered curves take the table kernel; a path with any other piece takes the
// step-by-step walk, where a piece of length zero contributes (1/n) times the curve's value
// there (the limit of its mean), a piece too short to weigh divides by its length, and NaN or
// infinite values go through the arithmetic as they are.
inline bool ordinary_piece(double t0, double t1, double weight) {
    return std::isfinite(t0) && std::isfinite(t1) && std::isfinite(weight);
}

// One grid point's path: n normalised values t[0..n-1] and, for each piece j >= 1, its length
// den[j] and weight[j] = (1 / n) / den[j]. `finite` says that every piece is ordinary (for
// n = 1: that the one value is finite), which the table kernel needs; `descends` that some
// value lies below the one before it.
struct ValuePath {
    int n = 0;
    double r = 0.0; // 1 / n
    const double* t = nullptr;
    const double* den = nullptr;
    const double* weight = nullptr;
    bool finite = false;
    bool descends = false;
};

// The path of n >= 1 samples s in the buffers t, den and weight of n doubles each.
inline ValuePath value_path(const float* s, int n, double low, double inv, double* t, double* den,
                            double* weight) {
    const double r = 1.0 / n;
    t[0] = normalised(s[0], low, inv);
    bool finite = std::isfinite(t[0]);
    bool descends = false;
    for (int j = 1; j < n; ++j) {
        t[j] = normalised(s[j], low, inv);
        den[j] = piece_length(s[j - 1], s[j], inv);
        weight[j] = r / den[j];
        finite = finite && ordinary_piece(t[j - 1], t[j], weight[j]);
        descends = descends || t[j] < t[j - 1];
    }
    return ValuePath{n, r, t, den, weight, finite, descends};
}

// The samples a grid point's path runs through: its own n, or in the exact mode a single sample
// twice (the path that stays at that value). Returns the path's length; `twice` holds the
// doubled sample.
inline int path_samples(const float*& s, int n, PathIntegration integration, float (&twice)[2]) {
    if (n != 1 || integration != PathIntegration::exact)
        return n;
    twice[0] = twice[1] = s[0];
    s = twice;
    return 2;
}

// Whether a piece that starts where the walk stands in segment k and ends at `end` counts.
inline bool piece_counts(const PreparedCurve& curve, int k, double end) {
    return (k < curve.count) & !((k == 0) & (end < 0.0));
}

// Where a table walk stands: the segment k that reaches its value (count past the last
// position) and F at its running lower limit, of segment min(k, count - 1).
struct WalkPoint {
    int k;
    double f;
};

// The walk's start at value t, found below k positions: its lower limit is t, or where segment
// k starts if that lies higher (0 for the first segment; equal only as +-0, which F maps to 0).
inline WalkPoint start_at(const PreparedCurve& curve, double t, int k) {
    const int last = curve.count - 1;
    return {k, curve.antiderivative(std::min(k, last), max_of(t, curve.previous_x[k]))};
}

// Where the walk arrives at value t (found below k_found positions) from `from`: its segment
// index only moves forward.
inline WalkPoint reach(const PreparedCurve& curve, const WalkPoint& from, double t, int k_found) {
    const int k1 = std::max(from.k, k_found);
    return {k1, curve.antiderivative(std::min(k1, curve.count - 1), t)};
}

// The table kernel: the curve's integral from `from` up to `to` (to.k >= from.k) times w,
// without branches on the data. Within one segment: to.f - from.f (the other two terms are
// exactly 0). Crossing: the rest of segment from.k, the segments strictly between (a difference
// of running sums, 0 when there are none) and the start of segment to.k, if the piece ends
// inside the curve. Whether the piece counts at all is piece_counts'.
inline double piece_between(const PreparedCurve& curve, const WalkPoint& from, const WalkPoint& to,
                            double w) {
    const int segments = curve.count;
    const int last = segments - 1;
    const int k = from.k;
    const int k1 = to.k;
    const int after = std::min(k + 1, segments);
    const double first = pick(k1 == k, to.f, curve.end_value[std::min(k, last)]) - from.f;
    const double middle = curve.through[std::max(k1, after)] - curve.through[after];
    const double rest =
        pick((k1 < segments) & (k1 != k), to.f - curve.start_value[std::min(k1, last)], 0.0);
    return ((first + middle) + rest) * w;
}

// The forward mean along the path through the table kernel, for an ordered curve and a path
// of ordinary pieces: the walk carries its place from piece to piece, its segment index only
// moving forward, and a path whose last value lies below 0 while the first segment is still
// current gives 0 (the walk ran out of values while passing over them).
inline double integrate_path_ordered(const PreparedCurve& curve, const ValuePath& path) {
    const int n = path.n;
    const double* t = path.t;
    WalkPoint at = start_at(curve, t[0], curve.below(t[0]));
    double sum = 0.0;
    for (int j = 1; j < n; ++j) {
        const double tj = t[j];
        const WalkPoint to = reach(curve, at, tj, curve.below(tj));
        const bool take = piece_counts(curve, at.k, tj);
        sum += take ? piece_between(curve, at, to, path.weight[j]) : 0.0;
        at = take ? to : at;
    }
    return (at.k == 0 && t[n - 1] < 0.0) ? 0.0 : sum;
}

// The two-value path from t0 (found below k positions) to t1 (found below k1_found): one
// ordinary piece with weight w, as the row pass takes it. Free of branches on the data; the
// exact mode has already turned a descending piece upwards (lower value first, weight negated).
[[gnu::always_inline]] inline double piece_mean(const PreparedCurve& curve, double t0, double t1,
                                                double w, int k, int k1_found) {
    const WalkPoint from = start_at(curve, t0, k);
    const WalkPoint to = reach(curve, from, t1, k1_found);
    // Added to 0.0 as the walks add to their sum: a descending piece over a zero curve gives
    // 0 * negative weight = -0.0, which the walks turn into +0.0.
    return 0.0 + pick(piece_counts(curve, k, t1), piece_between(curve, from, to, w), 0.0);
}

// The exact mean along the path through the table kernel, for an ordered curve and a path of
// ordinary pieces. Each value's place is found once, as a walk starting there would stand
// (start_at), and each piece runs between the places of its two values, upwards from the lower
// one. On a path that never descends the forward walk stands, before each piece, just where a
// start at the piece's lower end stands, so the bits are the forward walk's (and the row
// pass's, whose reach of the upper end differs only as +-0); but no piece waits for the one
// before it. (Not so for a curve whose first point lies below 0, after values below 0 were
// passed over: integrate_path sends such a curve's paths that never descend to the forward
// walk.)
inline double integrate_pieces_exact(const PreparedCurve& curve, const ValuePath& path) {
    const double* t = path.t;
    WalkPoint before = start_at(curve, t[0], curve.below(t[0]));
    double sum = 0.0;
    for (int j = 1; j < path.n; ++j) {
        const WalkPoint here = start_at(curve, t[j], curve.below(t[j]));
        const bool down = t[j] < t[j - 1];
        const WalkPoint& from = down ? here : before;
        const WalkPoint& to = down ? before : here;
        const double contribution =
            piece_between(curve, from, to, down ? -path.weight[j] : path.weight[j]);
        sum += piece_counts(curve, from.k, down ? t[j - 1] : t[j]) ? contribution : 0.0;
        before = here;
    }
    return sum;
}

// piece_mean with the positions below t0 and t1 looked up.
inline double integrate_piece_ordered(const PreparedCurve& curve, double t0, double t1, double w) {
    return piece_mean(curve, t0, t1, w, curve.below(t0), curve.below(t1));
}

// The same with the values' buckets b0 and b1 already known, for a table with at most one
// position per bucket.
[[gnu::always_inline]] inline double integrate_piece_in(const PreparedCurve& curve, double t0,
                                                        double t1, double w, int b0, int b1) {
    return piece_mean(curve, t0, t1, w, curve.below_in(b0, t0), curve.below_in(b1, t1));
}

// Where the step-by-step walk stands: segment k, the running lower limit h and F_k(h).
struct StepPoint {
    int k;
    double h;
    double fh;
};

// Its start at t: the first segment whose end is not below t, in the order the positions come.
inline StepPoint step_start(const PreparedCurve& curve, double t) {
    int k = 0;
    if (curve.ordered) // the same segment, found in the table
        k = curve.below(t);
    else
        while (k < curve.count && curve.x[k] < t)
            ++k;
    const double h = std::max(t, k >= 1 ? curve.x[k - 1] : 0.0);
    return {k, h, k < curve.count ? curve.antiderivative(k, h) : 0.0};
}

// The piece from `at` to b (length den, weight w, 1/n = r) one segment at a time, each part
// added to sum as it is found; F_k(h) is carried from one step to the next. Leaves `at` where
// the piece ends, or past the last segment.
inline void step_piece(const PreparedCurve& curve, StepPoint& at, double b, double den, double w,
                       double r, double& sum) {
    for (;;) {
        const double xk = curve.x[at.k];
        const double a = std::min(b, xk);
        const double fa = curve.antiderivative(at.k, a);
        if (den == 0.0)
            sum += r * curve.value(at.k, b);
        else if (std::isfinite(w))
            sum += (fa - at.fh) * w;
        else // a piece so short that 1/length overflows
            sum += r * (fa - at.fh) / den;
        at.h = a;
        at.fh = fa;
        if (!(xk < b) || ++at.k >= curve.count)
            return;
        at.fh = curve.antiderivative(at.k, at.h);
    }
}

// A descending piece from `at` down to b (length den and weight w both negative, 1/n = r), one
// segment at a time from the top: the parts step_piece would find going up from b, each taken
// with weight -w, in the other order. Nothing counts past the last position or below 0. Leaves
// `at` where step_start(b) would stand.
inline void step_piece_down(const PreparedCurve& curve, StepPoint& at, double b, double den,
                            double w, double r, double& sum) {
    const int last = curve.count - 1;
    if (at.k > last) {
        if (b > curve.x[last]) {
            at = {curve.count, b, 0.0};
            return;
        }
        at = {last, curve.x[last], curve.antiderivative(last, curve.x[last])};
    }
    for (;;) {
        const double start = at.k >= 1 ? curve.x[at.k - 1] : 0.0; // where segment k begins
        const double a = std::max(b, start);
        const double fa = curve.antiderivative(at.k, a);
        if (std::isfinite(w))
            sum += (at.fh - fa) * -w;
        else // a piece so short that 1/length overflows
            sum += r * (at.fh - fa) / -den;
        at.h = a;
        at.fh = fa;
        if (!(b <= start) || at.k == 0)
            return;
        at.fh = curve.antiderivative(--at.k, at.h);
    }
}

// The mean along the path one segment at a time: for any curve and any values, with the same
// rules as the table walks (integrate_path_ordered forward, integrate_pieces_exact exact).
inline double integrate_path_stepwise(const PreparedCurve& curve, const ValuePath& path,
                                      PathIntegration integration) {
    if (curve.count <= 0)
        return 0.0;
    const bool exact = integration == PathIntegration::exact;
    const double* t = path.t;
    StepPoint at = step_start(curve, t[0]);
    bool descended = false;
    double sum = 0.0;
    for (int j = 1; j < path.n; ++j) {
        if (exact && t[j] < t[j - 1] && path.den[j] != 0.0) {
            step_piece_down(curve, at, t[j], path.den[j], path.weight[j], path.r, sum);
            descended = true;
        } else if (piece_counts(curve, at.k, t[j])) {
            step_piece(curve, at, t[j], path.den[j], path.weight[j], path.r, sum);
        }
    }
    return (!descended && at.k == 0 && t[path.n - 1] < 0.0) ? 0.0 : sum;
}

// The mean along the path of two equal values (what a single value is in the exact mode), for
// an ordered curve: what the step-by-step walk gives it in either mode, (1/2) times the curve's
// value there, without the walk.
inline double standing_mean(const PreparedCurve& curve, double t) {
    const int k = curve.below(t);
    return piece_counts(curve, k, t) ? 0.0 + 0.5 * curve.value(k, t) : 0.0;
}

// The curve's mean along the path: the table kernel where it applies.
inline double integrate_path(const PreparedCurve& curve, const ValuePath& path,
                             PathIntegration integration) {
    if (curve.ordered && path.n == 2 && path.den[1] == 0.0 && path.t[1] == path.t[0])
        return standing_mean(curve, path.t[0]);
    if (curve.ordered && integration == PathIntegration::exact && path.finite &&
        (path.descends || !(curve.x[0] < 0.0)))
        return integrate_pieces_exact(curve, path);
    if (curve.ordered && path.finite)
        return integrate_path_ordered(curve, path);
    return integrate_path_stepwise(curve, path, integration);
}
