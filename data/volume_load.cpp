#include "grid_size.h"
#include "mapped_read_guard.h"
#include "raw_volume.h"
#include "volume.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Rows (runs of nx grid points) copied at a time by one thread.
constexpr std::int64_t rows_per_block = 64;
// The sums report progress this many times over the whole grid.
constexpr std::int64_t progress_steps = 32;

float load_float(const unsigned char* b, bool byte_swap) {
    unsigned char bytes[4];
    if (byte_swap) {
        bytes[0] = b[3];
        bytes[1] = b[2];
        bytes[2] = b[1];
        bytes[3] = b[0];
    } else {
        std::memcpy(bytes, b, 4);
    }
    float v;
    std::memcpy(&v, bytes, 4);
    return v;
}

// The running statistics of the samples above -100, taken in file order. The sums are doubles
// added one sample at a time, so their rounding depends on that order alone.
struct Sums {
    double sum = 0.0;
    double sum_squares = 0.0;
    std::int64_t count = 0;
    double min = 0.0;
    double max = 0.0;

    // Adds n floats stored natively from `src`, in order. Only the sums depend on the order:
    // a sample that is not valid adds 0.0, which leaves them unchanged (a sum of these terms is
    // never -0.0). The minimum and maximum are taken by value and then as the file order has
    // them: the first sample of that value, which only for a zero can differ in its sign.
    void add_native(const unsigned char* src, std::int64_t n) {
        float lo = std::numeric_limits<float>::infinity();
        float hi = -lo;
        std::int64_t valid = 0;
        std::int64_t i = 0;
#if defined(__SSE2__)
        // The sum and the sum of squares as the two lanes of one register: one addition a
        // sample, each lane rounded as the scalar addition would be.
        __m128d sums = _mm_set_pd(sum_squares, sum);
        const __m128 plus_inf = _mm_set1_ps(lo);
        const __m128 minus_inf = _mm_set1_ps(hi);
        __m128 low = plus_inf;
        __m128 high = minus_inf;
        const __m128 limit = _mm_set1_ps(-100.0f);
        static constexpr std::int8_t bits_set[16] = {0, 1, 1, 2, 1, 2, 2, 3,
                                                     1, 2, 2, 3, 2, 3, 3, 4};
        for (; i + 4 <= n; i += 4) {
            const __m128 v = _mm_loadu_ps(reinterpret_cast<const float*>(src + 4 * i));
            const __m128 ok = _mm_cmpgt_ps(v, limit);
            const __m128 d = _mm_and_ps(v, ok);
            const __m128d d01 = _mm_cvtps_pd(d);
            const __m128d d23 = _mm_cvtps_pd(_mm_movehl_ps(d, d));
            const __m128d s01 = _mm_mul_pd(d01, d01);
            const __m128d s23 = _mm_mul_pd(d23, d23);
            sums = _mm_add_pd(sums, _mm_unpacklo_pd(d01, s01));
            sums = _mm_add_pd(sums, _mm_unpackhi_pd(d01, s01));
            sums = _mm_add_pd(sums, _mm_unpacklo_pd(d23, s23));
            sums = _mm_add_pd(sums, _mm_unpackhi_pd(d23, s23));
            // A sample that is not valid is 0.0 in d: it becomes the other end's infinity.
            low = _mm_min_ps(_mm_or_ps(d, _mm_andnot_ps(ok, plus_inf)), low);
            high = _mm_max_ps(_mm_or_ps(d, _mm_andnot_ps(ok, minus_inf)), high);
            valid += bits_set[_mm_movemask_ps(ok)];
        }
        float lanes[4];
        _mm_storeu_ps(lanes, low);
        for (float l : lanes)
            lo = std::min(lo, l);
        _mm_storeu_ps(lanes, high);
        for (float h : lanes)
            hi = std::max(hi, h);
        sum = _mm_cvtsd_f64(sums);
        sum_squares = _mm_cvtsd_f64(_mm_unpackhi_pd(sums, sums));
#endif
        for (; i < n; ++i) {
            const float v = load_float(src + 4 * i, false);
            const bool ok = v > -100.0f;
            const double d = ok ? static_cast<double>(v) : 0.0;
            sum += d;
            sum_squares += d * d;
            valid += ok;
            lo = ok ? std::min(lo, v) : lo;
            hi = ok ? std::max(hi, v) : hi;
        }
        if (valid == 0)
            return;
        // A zero's sign is that of the first zero in the run.
        if (lo == 0.0f || hi == 0.0f) {
            float zero = 0.0f;
            for (std::int64_t k = 0; k < n; ++k) {
                zero = load_float(src + 4 * k, false);
                if (zero == 0.0f)
                    break;
            }
            lo = lo == 0.0f ? zero : lo;
            hi = hi == 0.0f ? zero : hi;
        }
        // Earlier runs keep a value this one only equals.
        min = count == 0 || lo < min ? lo : min;
        max = count == 0 || hi > max ? hi : max;
        count += valid;
    }

    void add(float v) {
        unsigned char bytes[4];
        std::memcpy(bytes, &v, 4);
        add_native(bytes, 1);
    }
};

struct Layout {
    const RawVolume& raw;
    float* samples;
    int nx;
    int ncomp;
    bool byte_swap;
    bool mirror_x;

    const unsigned char* row_bytes(std::int64_t row) const {
        return raw.bytes + row * nx * static_cast<std::int64_t>(raw.bytes_per_point);
    }
};

void sum_rows(const Layout& l, std::int64_t first, std::int64_t last, Sums& s) {
    const std::int64_t point_bytes = l.raw.bytes_per_point;
    for (std::int64_t row = first; row < last; ++row) {
        const unsigned char* src = l.row_bytes(row);
        if (point_bytes == 4 * std::int64_t{l.ncomp} && !l.byte_swap) {
            s.add_native(src, std::int64_t{l.nx} * l.ncomp);
            continue;
        }
        for (int k = 0; k < l.nx; ++k)
            for (int c = 0; c < l.ncomp; ++c)
                s.add(load_float(src + k * point_bytes + 4 * c, l.byte_swap));
    }
}

// Copies a row of nx points of N native floats each, reversing the order of the points.
template <int N> void copy_row_mirrored(const unsigned char* src, float* dst, int nx) {
    float* const last = dst + static_cast<std::int64_t>(nx - 1) * N;
    for (int k = 0; k < nx; ++k)
        std::memcpy(last - static_cast<std::int64_t>(k) * N, src + std::int64_t{4} * N * k, 4 * N);
}

// Copies rows [first, last) into the samples, each row mirrored along x when asked.
void copy_rows(const Layout& l, std::int64_t first, std::int64_t last) {
    const std::int64_t point_bytes = l.raw.bytes_per_point;
    const bool native = point_bytes == 4 * std::int64_t{l.ncomp} && !l.byte_swap;
    // The common layouts, copied without a loop over the components.
    if (native && (!l.mirror_x || l.ncomp <= 4)) {
        const std::int64_t row_samples = std::int64_t{l.nx} * l.ncomp;
        for (std::int64_t row = first; row < last; ++row) {
            const unsigned char* src = l.row_bytes(row);
            float* const dst = l.samples + row * row_samples;
            switch (l.mirror_x ? l.ncomp : 0) {
            case 0:
                std::memcpy(dst, src, static_cast<std::size_t>(4 * row_samples));
                break;
            case 1:
                copy_row_mirrored<1>(src, dst, l.nx);
                break;
            case 2:
                copy_row_mirrored<2>(src, dst, l.nx);
                break;
            case 3:
                copy_row_mirrored<3>(src, dst, l.nx);
                break;
            default:
                copy_row_mirrored<4>(src, dst, l.nx);
                break;
            }
        }
        return;
    }
    const std::int64_t row_samples = std::int64_t{l.nx} * l.ncomp;
    for (std::int64_t row = first; row < last; ++row) {
        const unsigned char* src = l.row_bytes(row);
        float* const dst_row = l.samples + row * row_samples;
        for (int k = 0; k < l.nx; ++k) {
            const int x = l.mirror_x ? l.nx - 1 - k : k;
            float* dst = dst_row + static_cast<std::int64_t>(x) * l.ncomp;
            const unsigned char* p = src + k * point_bytes;
            for (int c = 0; c < l.ncomp; ++c)
                dst[c] = load_float(p + 4 * c, l.byte_swap);
        }
    }
}

} // namespace

bool Volume::load_raw(const RawVolume& raw, bool byte_swap, bool mirror_x) {
    return load_raw(raw, byte_swap, mirror_x, 1, {}) == LoadStatus::done;
}

Volume::LoadStatus
Volume::load_raw(const RawVolume& raw, bool byte_swap, bool mirror_x, int threads,
                 const std::function<bool(std::int64_t done, std::int64_t total)>& progress) {
    const int new_ncomp = raw.bytes_per_point / 4;
    const std::int64_t n = grid_sample_count(raw.nx, raw.ny, raw.nz, new_ncomp);
    // An array of the right size is reused (a prepared load allocates it up front); otherwise
    // the old one is released first so that only one of them is held at a time.
    if (!samples || n <= 0 || n != sample_count()) {
        release_samples();
        samples = new_samples(n, false);
    }
    nx = raw.nx;
    ny = raw.ny;
    nz = raw.nz;
    ncomp = new_ncomp;
    if (!samples || !raw.bytes) {
        release_samples();
        valid = false;
        return LoadStatus::no_memory;
    }

    const Layout layout{raw, samples, nx, ncomp, byte_swap, mirror_x};
    const std::int64_t rows = static_cast<std::int64_t>(nz) * ny;
    std::atomic<std::int64_t> next_block{0};
    std::atomic<std::int64_t> rows_copied{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> unreadable{false};
    // The raw bytes may be a mapped file: one shortened meanwhile stops the load.
    const auto guarded = [&](auto&& job) {
        if (!read_mapped_guarded(raw.bytes, static_cast<std::size_t>(raw.byte_count()), job)) {
            unreadable = true;
            stop = true;
        }
    };
    const auto copy_blocks = [&] {
        guarded([&] {
            while (!stop.load(std::memory_order_relaxed)) {
                const std::int64_t first = next_block.fetch_add(1) * rows_per_block;
                if (first >= rows)
                    return;
                const std::int64_t last = std::min(rows, first + rows_per_block);
                copy_rows(layout, first, last);
                rows_copied.fetch_add(last - first, std::memory_order_relaxed);
            }
        });
    };

    // The other threads copy from the start while this one sums; once the sums are done it
    // helps with what is left of the copy.
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // No helper for a block that is not there: a small grid is copied without a thread.
    const std::int64_t blocks = (rows + rows_per_block - 1) / rows_per_block;
    const std::int64_t wanted = std::min<std::int64_t>(threads, blocks) - 1;
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(static_cast<std::size_t>(std::max<std::int64_t>(0, wanted)));
        for (std::int64_t t = 0; t < wanted; ++t)
            helpers.emplace_back(copy_blocks);
    } catch (...) {
        // Fewer helpers: this thread copies what they would have.
    }

    Sums sums;
    sums.min = stat_min; // kept when no sample is valid
    sums.max = stat_max;
    const std::int64_t step = std::max<std::int64_t>(1, rows / progress_steps);
    for (std::int64_t first = 0; first < rows; first += step) {
        const std::int64_t last = std::min(rows, first + step);
        guarded([&] { sum_rows(layout, first, last, sums); });
        if (stop)
            break;
        if (progress && !progress(last + rows_copied.load(std::memory_order_relaxed), 2 * rows)) {
            stop = true;
            break;
        }
    }
    copy_blocks();
    for (auto& t : helpers)
        t.join();
    if (stop) {
        valid = false;
        return unreadable ? LoadStatus::unreadable : LoadStatus::stopped;
    }

    component = 0;
    stat_min = sums.min;
    stat_max = sums.max;
    stat_count = sums.count;
    valid = nx > 1 && ny > 1 && nz > 1 && sums.count > 0;
    const double r = 1.0 / static_cast<double>(sums.count);
    stat_mean = sums.sum * r;
    stat_mean_square = sums.sum_squares * r;
    stat_std_dev = std::sqrt(std::fabs(stat_mean_square - stat_mean * stat_mean));
    return LoadStatus::done;
}
