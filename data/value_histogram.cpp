#include "value_histogram.h"

#include "volume.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

namespace {

// Counts for one run of samples. Smooth data puts neighbouring samples in the same bin, which
// would chain every increment to the one before it; four interleaved tables keep the
// increments independent. Slots past the bins count samples below, above and not valid.
void count_run(const float* samples, std::int64_t n, double first, double scale, int bins,
               std::vector<std::int64_t>& tables) {
    const int stride = bins + 3;
    std::int64_t* table[4] = {tables.data(), tables.data() + stride, tables.data() + 2 * stride,
                              tables.data() + 3 * stride};
    const auto slot = [&](float v) {
        if (!(v > -100.0f))
            return bins + 2;
        const double t = (v - first) * scale;
        return t < 0.0 ? bins : t >= bins ? bins + 1 : static_cast<int>(t);
    };
    std::int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++table[0][slot(samples[i])];
        ++table[1][slot(samples[i + 1])];
        ++table[2][slot(samples[i + 2])];
        ++table[3][slot(samples[i + 3])];
    }
    for (; i < n; ++i)
        ++table[0][slot(samples[i])];
}

} // namespace

bool count_values(const Volume& volume, double first, double last, int bins, ValueHistogram& out) {
    out = ValueHistogram{};
    const double width = last - first;
    const std::int64_t n = volume.sample_count();
    if (!volume.samples || n <= 0 || bins < 1 || !std::isfinite(width) || width == 0.0)
        return false;
    const int stride = bins + 3;
    // Large volumes are split between up to four threads, each with its own tables.
    const int parts = static_cast<int>(std::clamp<std::int64_t>(
        std::min<std::int64_t>(std::thread::hardware_concurrency(), n / (1 << 20)), 1, 4));
    std::vector<std::int64_t> tables[4];
    try {
        for (int p = 0; p < parts; ++p)
            tables[p].assign(static_cast<std::size_t>(stride) * 4, 0);
        out.counts.assign(static_cast<std::size_t>(bins), 0);
    } catch (const std::bad_alloc&) {
        out = ValueHistogram{};
        return false;
    }
    const double scale = bins / width;
    const auto run = [&](int p) {
        const std::int64_t begin = n * p / parts, end = n * (p + 1) / parts;
        count_run(volume.samples + begin, end - begin, first, scale, bins, tables[p]);
    };
    std::thread helpers[3];
    for (int p = 1; p < parts; ++p) {
        try {
            helpers[p - 1] = std::thread(run, p);
        } catch (...) {
            run(p); // no thread to be had: count that part here
        }
    }
    run(0);
    for (std::thread& helper : helpers)
        if (helper.joinable())
            helper.join();
    std::int64_t slots[3] = {0, 0, 0};
    for (int k = 0; k < 4 * parts; ++k) {
        const std::int64_t* table = tables[k / 4].data() + static_cast<std::size_t>(k % 4) * stride;
        for (int b = 0; b < bins; ++b)
            out.counts[b] += table[b];
        for (int s = 0; s < 3; ++s)
            slots[s] += table[bins + s];
    }
    out.below = slots[0];
    out.above = slots[1];
    out.total = n - slots[2];
    out.largest = *std::max_element(out.counts.begin(), out.counts.end());
    return true;
}
