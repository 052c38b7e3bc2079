#pragma once

#include "cubic_segment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A curve made ready for classification: its segments with the antiderivative coefficients
// scaled once, the integrals of whole segments, and a table that finds the segment holding a
// value without a search.
//
// Each segment is a polynomial in u - shift[k]: shift is 0 for a segment read in the absolute
// x (u - 0.0 is u, bit for bit) and the segment's start for a narrow one read in its local
// form (see CubicSegment). Differences of one segment's antiderivative are all that any walk
// uses, so the two forms mix freely along a path.

// Selections for the branch-free row pass. A conditional move forced with inline assembly
// was measured here against the plain conditional: no faster on random values and slower on
// smooth fields, where the branches it avoids are well predicted. The SSE2 minimum and
// maximum are single instructions.
inline double pick(bool c, double a, double b) {
    return c ? a : b;
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
        shifted = false;
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

    // Segment k's antiderivative v (c0 + v (c1/2 + v (c2/3 + v c3/4))) at v = u - shift[k].
    // Curves without a narrow segment skip the subtraction (the same number, sooner).
    double antiderivative(int k, double u) const {
        const double* a = anti[k];
        const double v = shifted ? u - shift[k] : u;
        return v * (a[0] + v * (a[1] + v * (a[2] + v * a[3])));
    }

    // Segment k's polynomial at v = u - shift[k].
    double value(int k, double u) const {
        const double* c = poly[k];
        const double v = shifted ? u - shift[k] : u;
        return c[0] + v * (c[1] + v * (c[2] + v * c[3]));
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
    double shift[capacity] = {};          // segment k's origin: its start if narrow, else 0
    bool shifted = false;                 // some segment is narrow
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
