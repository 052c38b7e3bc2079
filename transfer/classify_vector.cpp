#include "classify_vector.h"

#include "path_integral.h"

#include <atomic>

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

HALVORN_AVX2 __m256d gather(const double* base, __m256i index) {
    return _mm256_i64gather_pd(base, index, 8);
}

// Segment k's antiderivative at u, in the scalar evaluation order.
HALVORN_AVX2 __m256d antiderivative(const PreparedCurve& c, __m256i k, __m256d u) {
    const __m256i at = _mm256_slli_epi64(k, 2);
    const __m256d a0 = gather(&c.anti[0][0], at);
    const __m256d a1 = gather(&c.anti[0][1], at);
    const __m256d a2 = gather(&c.anti[0][2], at);
    const __m256d a3 = gather(&c.anti[0][3], at);
    return _mm256_mul_pd(
        u,
        _mm256_add_pd(
            a0,
            _mm256_mul_pd(
                u, _mm256_add_pd(a1, _mm256_mul_pd(u, _mm256_add_pd(a2, _mm256_mul_pd(u, a3)))))));
}

// below_in(b, v) in each lane: the table entry, plus one where the position it names is below v.
HALVORN_AVX2 __m256i below(const PreparedCurve& c, __m256i b, __m256d v) {
    const __m128i entry =
        _mm256_i64gather_epi32(reinterpret_cast<const int*>(c.first_in_bucket), b, 1);
    const __m256i first = _mm256_and_si256(_mm256_cvtepi32_epi64(entry), _mm256_set1_epi64x(0xff));
    const __m256d position = gather(c.padded_x, first);
    const __m256i is_below = _mm256_castpd_si256(_mm256_cmp_pd(position, v, _CMP_LT_OQ));
    return _mm256_sub_epi64(first, is_below); // is_below is -1 where true
}

// piece_mean in each lane.
HALVORN_AVX2 __m256d piece_mean4(const PreparedCurve& c, __m256d t0, __m256d t1, __m256d w,
                                 __m256i b0, __m256i b1) {
    const __m256i segments = _mm256_set1_epi64x(c.count);
    const __m256i last = _mm256_set1_epi64x(c.count - 1);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i k = below(c, b0, t0);
    const __m256i k0c = min64(k, last);
    const __m256d h = _mm256_max_pd(t0, gather(c.previous_x, k));
    const __m256d fh = antiderivative(c, k0c, h);
    const __m256i k1 = max64(k, below(c, b1, t1));
    const __m256i kc = min64(k1, last);
    const __m256d fa = antiderivative(c, kc, t1);
    const __m256i after = min64(_mm256_add_epi64(k, _mm256_set1_epi64x(1)), segments);
    const __m256d same = _mm256_castsi256_pd(_mm256_cmpeq_epi64(k1, k));
    const __m256d first = _mm256_sub_pd(_mm256_blendv_pd(gather(c.end_value, k0c), fa, same), fh);
    const __m256d middle =
        _mm256_sub_pd(gather(c.through, max64(k1, after)), gather(c.through, after));
    const __m256d inside = _mm256_castsi256_pd(_mm256_cmpgt_epi64(segments, k1));
    const __m256d rest =
        _mm256_and_pd(_mm256_andnot_pd(same, inside), _mm256_sub_pd(fa, gather(c.start_value, kc)));
    const __m256d contribution =
        _mm256_mul_pd(_mm256_add_pd(_mm256_add_pd(first, middle), rest), w);
    const __m256d passed_over = _mm256_and_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(k, zero)),
                                              _mm256_cmp_pd(t1, _mm256_setzero_pd(), _CMP_LT_OQ));
    const __m256d take =
        _mm256_andnot_pd(passed_over, _mm256_castsi256_pd(_mm256_cmpgt_epi64(segments, k)));
    return _mm256_and_pd(take, contribution);
}

__attribute__((target("avx2"))) int pairs_avx2(const PreparedCurve (&curves)[4], const double* t0,
                                               const double* t1, const double* w, const int* b0,
                                               const int* b1, int count, float* q) {
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m256d t0v = _mm256_loadu_pd(t0 + x);
        const __m256d t1v = _mm256_loadu_pd(t1 + x);
        const __m256d wv = _mm256_loadu_pd(w + x);
        const __m256i b0v =
            _mm256_cvtepi32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b0 + x)));
        const __m256i b1v =
            _mm256_cvtepi32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b1 + x)));
        __m128 channel[4];
        for (int c = 0; c < 4; ++c) {
            const __m256d factor = _mm256_set1_pd(c == 3 ? 2.0 : 1.0); // opacity is doubled
            channel[c] = _mm256_cvtpd_ps(
                _mm256_mul_pd(factor, piece_mean4(curves[c], t0v, t1v, wv, b0v, b1v)));
        }
        // From four channels of four points to four points of four channels.
        _MM_TRANSPOSE4_PS(channel[0], channel[1], channel[2], channel[3]);
        for (int p = 0; p < 4; ++p)
            _mm_storeu_ps(q + 4 * (x + p), channel[p]);
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

int classify_pairs_vector(const PreparedCurve (&curves)[4], const double* t0, const double* t1,
                          const double* w, const int* b0, const int* b1, int count, float* q) {
    return pairs_avx2(curves, t0, t1, w, b0, b1, count, q);
}

#else

bool vector_pairs_available() {
    return false;
}

void set_vector_pairs_enabled(bool) {}

int classify_pairs_vector(const PreparedCurve (&)[4], const double*, const double*, const double*,
                          const int*, const int*, int, float*) {
    return 0;
}

#endif
