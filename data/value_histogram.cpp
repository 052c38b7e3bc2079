#include "value_histogram.h"

#include "volume.h"

#include <algorithm>
#include <cmath>
#include <new>

bool count_values(const Volume& volume, double first, double last, int bins, ValueHistogram& out) {
    out = ValueHistogram{};
    const double width = last - first;
    const std::int64_t n = volume.sample_count();
    if (!volume.samples || n <= 0 || bins < 1 || !std::isfinite(width) || width == 0.0)
        return false;
    try {
        out.counts.assign(static_cast<std::size_t>(bins), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const double scale = bins / width;
    std::int64_t* counts = out.counts.data();
    std::int64_t below = 0, above = 0, total = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const float v = volume.samples[i];
        if (!(v > -100.0f))
            continue;
        ++total;
        const double t = (v - first) * scale;
        if (t < 0.0)
            ++below;
        else if (t >= bins)
            ++above;
        else
            ++counts[static_cast<int>(t)];
    }
    out.below = below;
    out.above = above;
    out.total = total;
    out.largest = *std::max_element(out.counts.begin(), out.counts.end());
    return true;
}
