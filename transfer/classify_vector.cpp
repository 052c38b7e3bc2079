#include "classify_vector.h"

#include "prepared_curve.h"
#include "shared_constants.h"

#include <atomic>
#include <cmath>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

namespace {

std::atomic<bool> enabled{true};

#define HALVORN_AVX2 __attribute__((target("avx2"), always_inline)) inline

HALVORN_AVX2 __m256i min64(__m256i a, __m256i b) {
    return _mm256_blendv_epi8(a, b, _mm256_cmpgt_epi64(a, b));
}

HALVORN_AVX2 __m256i max64(__m256i a, __m256i b) {
    return _mm256_blendv_epi8(b, a, _mm256_cmpgt_epi64(a, b));
}

// Rows rows[k] of four doubles, one per lane, turned into one vector per column: four loads and
// a 4 x 4 transpose cost less than four gather instructions on the processors measured.
struct Columns {
    __m256d c0, c1, c2, c3;
};

HALVORN_AVX2 Columns columns(const double (*rows)[4], __m256i k) {
    alignas(32) long long index[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), k);
    const __m256d r0 = _mm256_loadu_pd(rows[index[0]]);
    const __m256d r1 = _mm256_loadu_pd(rows[index[1]]);
    const __m256d r2 = _mm256_loadu_pd(rows[index[2]]);
    const __m256d r3 = _mm256_loadu_pd(rows[index[3]]);
    const __m256d lo01 = _mm256_unpacklo_pd(r0, r1);
    const __m256d hi01 = _mm256_unpackhi_pd(r0, r1);
    const __m256d lo23 = _mm256_unpacklo_pd(r2, r3);
    const __m256d hi23 = _mm256_unpackhi_pd(r2, r3);
    return {_mm256_permute2f128_pd(lo01, lo23, 0x20), _mm256_permute2f128_pd(hi01, hi23, 0x20),
            _mm256_permute2f128_pd(lo01, lo23, 0x31), _mm256_permute2f128_pd(hi01, hi23, 0x31)};
}

// Segment k's antiderivative at u, in the scalar evaluation order.
HALVORN_AVX2 __m256d antiderivative(const PreparedCurve& c, __m256i k, __m256d u) {
    const Columns a = columns(c.anti, k);
    return _mm256_mul_pd(
        u, _mm256_add_pd(
               a.c0,
               _mm256_mul_pd(
                   u, _mm256_add_pd(
                          a.c1, _mm256_mul_pd(u, _mm256_add_pd(a.c2, _mm256_mul_pd(u, a.c3)))))));
}

// below_in(b, v) in each lane, for the buckets b[0..3].
HALVORN_AVX2 __m256i below(const PreparedCurve& c, const int* b, __m256d v) {
    const auto entry = [&](int lane) {
        return _mm_loadu_pd(reinterpret_cast<const double*>(&c.bucket_entry[b[lane]]));
    };
    // Lanes 0 and 2, 1 and 3 side by side; the unpacks then give first and position in order.
    const __m256d even = _mm256_insertf128_pd(_mm256_castpd128_pd256(entry(0)), entry(2), 1);
    const __m256d odd = _mm256_insertf128_pd(_mm256_castpd128_pd256(entry(1)), entry(3), 1);
    const __m256i first = _mm256_castpd_si256(_mm256_unpacklo_pd(even, odd));
    const __m256d position = _mm256_unpackhi_pd(even, odd);
    const __m256i is_below = _mm256_castpd_si256(_mm256_cmp_pd(position, v, _CMP_LT_OQ));
    return _mm256_sub_epi64(first, is_below); // is_below is -1 where true
}

// PreparedCurve::bucket in each lane.
HALVORN_AVX2 __m128i bucket(__m256d t, __m256d origin, __m256d scale) {
    const __m256d b = _mm256_mul_pd(_mm256_sub_pd(t, origin), scale);
    const __m256d top = _mm256_set1_pd(PreparedCurve::buckets - 1.0);
    return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(b, _mm256_setzero_pd()), top));
}

// piece_mean in each lane: start_at, reach, piece_between and piece_counts.
HALVORN_AVX2 __m256d piece_mean4(const PreparedCurve& c, __m256d t0, __m256d t1, __m256d w,
                                 const int* b0, const int* b1) {
    const __m256i segments = _mm256_set1_epi64x(c.count);
    const __m256i last = _mm256_set1_epi64x(c.count - 1);
    const __m256i zero = _mm256_setzero_si256();
    // start_at
    const __m256i k = below(c, b0, t0);
    const __m256i k0c = min64(k, last);
    const Columns from = columns(c.from_side, k); // previous_x, end_value, through after k
    const __m256d h = _mm256_max_pd(t0, from.c0);
    const __m256d fh = antiderivative(c, k0c, h);
    // reach
    const __m256i k1 = max64(k, below(c, b1, t1));
    const __m256i kc = min64(k1, last);
    const __m256d fa = antiderivative(c, kc, t1);
    // piece_between
    const Columns to = columns(c.to_side, k1); // start_value, through[k1]
    const __m256d same = _mm256_castsi256_pd(_mm256_cmpeq_epi64(k1, k));
    const __m256d first = _mm256_sub_pd(_mm256_blendv_pd(from.c1, fa, same), fh);
    // through[max(k1, k + 1)] - through[k + 1]: exactly 0 when the piece stays in segment k.
    const __m256d middle = _mm256_andnot_pd(same, _mm256_sub_pd(to.c1, from.c2));
    const __m256d inside = _mm256_castsi256_pd(_mm256_cmpgt_epi64(segments, k1));
    const __m256d rest = _mm256_and_pd(_mm256_andnot_pd(same, inside), _mm256_sub_pd(fa, to.c0));
    const __m256d contribution =
        _mm256_mul_pd(_mm256_add_pd(_mm256_add_pd(first, middle), rest), w);
    // piece_counts
    const __m256d passed_over = _mm256_and_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(k, zero)),
                                              _mm256_cmp_pd(t1, _mm256_setzero_pd(), _CMP_LT_OQ));
    const __m256d take =
        _mm256_andnot_pd(passed_over, _mm256_castsi256_pd(_mm256_cmpgt_epi64(segments, k)));
    // Added to 0.0, as in the scalar pass: -0.0 becomes +0.0.
    return _mm256_add_pd(_mm256_setzero_pd(), _mm256_and_pd(take, contribution));
}

// Four points of a row, normalised.
struct Group {
    __m256d t0, t1, w;
    alignas(16) int b0[4];
    alignas(16) int b1[4];
};

// Loads and normalises the four points from x on, in the exact mode turns descending pieces
// upwards, and lists the special ones.
template <bool exact>
HALVORN_AVX2 void prepare(const PreparedCurve& table, const float* p, int x, double low, double inv,
                          Group& g, int* special, int& specials) {
    const __m256d inv_v = _mm256_set1_pd(inv);
    const __m256d low_v = _mm256_set1_pd(low);
    const __m256d origin = _mm256_set1_pd(table.origin);
    const __m256d scale = _mm256_set1_pd(table.scale);
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m256d infinity = _mm256_set1_pd(INFINITY);
    // Four points' two samples, split into the first and the second values.
    const __m128 lo = _mm_loadu_ps(p + 2 * x);
    const __m128 hi = _mm_loadu_ps(p + 2 * x + 4);
    const __m256d s0 = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256d s1 = _mm256_cvtps_pd(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1)));
    // normalised, piece_length
    const __m256d from = _mm256_mul_pd(_mm256_sub_pd(s0, low_v), inv_v);
    const __m256d to = _mm256_mul_pd(_mm256_sub_pd(s1, low_v), inv_v);
    const __m256d d = _mm256_mul_pd(_mm256_sub_pd(s1, s0), inv_v);
    const __m256d w = _mm256_div_pd(_mm256_set1_pd(0.5), d);
    // The lower value first and the weight negated where an exact piece descends.
    if constexpr (exact) {
        const __m256d down = _mm256_cmp_pd(to, from, _CMP_LT_OQ);
        g.t0 = _mm256_blendv_pd(from, to, down);
        g.t1 = _mm256_blendv_pd(to, from, down);
        g.w = _mm256_xor_pd(w, _mm256_and_pd(down, sign));
    } else {
        g.t0 = from;
        g.t1 = to;
        g.w = w;
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(g.b0), bucket(g.t0, origin, scale));
    _mm_store_si128(reinterpret_cast<__m128i*>(g.b1), bucket(g.t1, origin, scale));
    // ordinary_piece: both values and the weight finite (which leaves out pieces of length
    // zero and those too short to weigh).
    const __m256d finite0 = _mm256_cmp_pd(_mm256_andnot_pd(sign, from), infinity, _CMP_LT_OQ);
    const __m256d finite1 = _mm256_cmp_pd(_mm256_andnot_pd(sign, to), infinity, _CMP_LT_OQ);
    const __m256d weighable = _mm256_cmp_pd(_mm256_andnot_pd(sign, w), infinity, _CMP_LT_OQ);
    // !is_missing_point: at or above the threshold, and not NaN.
    const __m256d present =
        _mm256_cmp_pd(s0, _mm256_set1_pd(static_cast<float>(missing_threshold)), _CMP_GE_OQ);
    const __m256d ordinary =
        _mm256_and_pd(_mm256_and_pd(_mm256_and_pd(finite0, finite1), weighable), present);
    int odd = ~_mm256_movemask_pd(ordinary) & 0xf;
    while (odd) { // rare: missing points, non-finite values, two equal values
        special[specials++] = x + __builtin_ctz(odd);
        odd &= odd - 1;
    }
}

// Curve c at a group's points, as floats.
HALVORN_AVX2 __m128 channel(const PreparedCurve& curve, int c, const Group& g) {
    const __m256d factor = _mm256_set1_pd(c == 3 ? opacity_factor : 1.0);
    return _mm256_cvtpd_ps(_mm256_mul_pd(factor, piece_mean4(curve, g.t0, g.t1, g.w, g.b0, g.b1)));
}

// From four channels of four points to four points of four channels, stored from point x;
// of a partial set of channels only those.
HALVORN_AVX2 void store(__m128 (&ch)[4], int channels, float* q, int x) {
    _MM_TRANSPOSE4_PS(ch[0], ch[1], ch[2], ch[3]);
    if (channels == 0xF) {
        for (int k = 0; k < 4; ++k)
            _mm_storeu_ps(q + 4 * (x + k), ch[k]);
        return;
    }
    for (int k = 0; k < 4; ++k) {
        alignas(16) float point[4];
        _mm_store_ps(point, ch[k]);
        for (int c = 0; c < 4; ++c)
            if (channels >> c & 1)
                q[4 * (x + k) + c] = point[c];
    }
}

// Channel c of a group, or zeros for a channel not asked for.
HALVORN_AVX2 __m128 channel_if(const PreparedCurve& curve, int c, int channels, const Group& g) {
    return channels >> c & 1 ? channel(curve, c, g) : _mm_setzero_ps();
}

template <bool exact>
__attribute__((target("avx2"))) int pairs_avx2(const PreparedCurve (&curves)[4], int channels,
                                               const float* p, int count, double low, double inv,
                                               float* q, int* special, int& specials) {
    int x = 0;
    // Eight points at a time in two independent groups, whose chains of loads and polynomial
    // evaluations overlap in the processor.
    for (; x + 8 <= count; x += 8) {
        Group a, b;
        prepare<exact>(curves[0], p, x, low, inv, a, special, specials);
        prepare<exact>(curves[0], p, x + 4, low, inv, b, special, specials);
        __m128 cha[4], chb[4];
        for (int c = 0; c < 4; ++c) {
            cha[c] = channel_if(curves[c], c, channels, a);
            chb[c] = channel_if(curves[c], c, channels, b);
        }
        store(cha, channels, q, x);
        store(chb, channels, q, x + 4);
    }
    for (; x + 4 <= count; x += 4) {
        Group a;
        prepare<exact>(curves[0], p, x, low, inv, a, special, specials);
        __m128 cha[4];
        for (int c = 0; c < 4; ++c)
            cha[c] = channel_if(curves[c], c, channels, a);
        store(cha, channels, q, x);
    }
    return x;
}

} // namespace

bool vector_pairs_available() {
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported && enabled.load(std::memory_order_relaxed);
}

void set_vector_pairs_enabled(bool on) {
    enabled.store(on, std::memory_order_relaxed);
}

int classify_pairs_vector(const PreparedCurve (&curves)[4], int channels, const float* p, int count,
                          double low, double inv, bool exact, float* q, int* special,
                          int& specials) {
    return exact ? pairs_avx2<true>(curves, channels, p, count, low, inv, q, special, specials)
                 : pairs_avx2<false>(curves, channels, p, count, low, inv, q, special, specials);
}

#else

bool vector_pairs_available() {
    return false;
}

void set_vector_pairs_enabled(bool) {}

int classify_pairs_vector(const PreparedCurve (&)[4], int, const float*, int, double, double, bool,
                          float*, int*, int&) {
    return 0;
}

#endif
