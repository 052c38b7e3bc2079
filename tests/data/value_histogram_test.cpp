#include "value_histogram.h"
#include "volume.h"

#include <gtest/gtest.h>

#include <cmath>

// Against a plain count, on a volume large enough to be split between threads, with missing
// samples, values on bin edges and outside the interval, in both directions.
TEST(ValueHistogram, MatchesAPlainCountInBothDirections) {
    Volume v;
    ASSERT_TRUE(v.allocate(128, 128, 64, 2));
    const std::int64_t n = v.sample_count();
    for (std::int64_t i = 0; i < n; ++i)
        v.samples[i] =
            i % 97 == 0 ? -9999.0f : static_cast<float>(std::floor(60.0 * std::sin(i * 1e-3)));
    for (const auto& [first, last] : {std::pair{-20.0, 40.0}, std::pair{40.0, -20.0}}) {
        const int bins = 60;
        ValueHistogram h;
        ASSERT_TRUE(count_values(v, first, last, bins, h));
        std::vector<std::int64_t> counts(bins, 0);
        std::int64_t below = 0, above = 0, total = 0;
        for (std::int64_t i = 0; i < n; ++i) {
            if (!(v.samples[i] > -100.0f))
                continue;
            ++total;
            const double t = (v.samples[i] - first) * (bins / (last - first));
            if (t < 0.0)
                ++below;
            else if (t >= bins)
                ++above;
            else
                ++counts[static_cast<int>(t)];
        }
        EXPECT_EQ(h.counts, counts);
        EXPECT_EQ(h.below, below);
        EXPECT_EQ(h.above, above);
        EXPECT_EQ(h.total, total);
        EXPECT_GT(below, 0);
        EXPECT_GT(above, 0);
    }
    ValueHistogram empty;
    EXPECT_FALSE(count_values(v, 5.0, 5.0, 10, empty));
    EXPECT_FALSE(count_values(Volume{}, 0.0, 1.0, 10, empty));
    EXPECT_TRUE(empty.counts.empty());
}
