#include "volume.h"

#include <gtest/gtest.h>

TEST(Volume, empty_allocation_fails_and_leaves_no_samples) {
    Volume v;
    v.valid = true;
    EXPECT_FALSE(v.allocate(0, 0, 0, 4));
    EXPECT_EQ(v.samples, nullptr);
    EXPECT_FALSE(v.valid);
    EXPECT_EQ(v.ncomp, 4);
    EXPECT_FALSE(v.allocate(-2, 3, 3, 1));
    EXPECT_EQ(v.samples, nullptr);
}

TEST(Volume, allocation_keeps_flags_and_reports_extents) {
    Volume v;
    v.valid = true;
    v.rgba = true;
    v.component = 3;
    v.stat_mean = 7.5;
    ASSERT_TRUE(v.allocate(3, 4, 5, 4));
    EXPECT_TRUE(v.valid);
    EXPECT_TRUE(v.is_rgba());
    EXPECT_EQ(v.component, 3);
    EXPECT_EQ(v.mean_value(), 7.5);
    EXPECT_EQ(v.dim(0), 3);
    EXPECT_EQ(v.dim(1), 4);
    EXPECT_EQ(v.dim(2), 5);
    EXPECT_EQ(v.axis_range(2), std::make_pair(0.0, 5.0));
    EXPECT_EQ(v.sample_count(), 3 * 4 * 5 * 4);
}

TEST(Volume, huge_allocation_is_reported_not_thrown) {
    Volume v;
    v.valid = true;
    // 2^31 - 1 cubed does not fit in 64 bits; 46341^3 * 4096 needs far more memory than exists.
    EXPECT_FALSE(v.allocate(2147483647, 2147483647, 2147483647, 4));
    EXPECT_FALSE(v.valid);
    EXPECT_FALSE(v.allocate(46341, 46341, 46341, 4096));
    EXPECT_EQ(v.samples, nullptr);
}

TEST(Volume, samples_are_interleaved_by_component) {
    Volume v;
    ASSERT_TRUE(v.allocate(2, 2, 2, 4));
    v.select_component(2);
    v.set_sample(1, 0, 0, 42.0f);
    EXPECT_EQ(v.samples[6], 42.0f);
    EXPECT_EQ(v.sample(1, 0, 0), 42.0f);
    v.select_component(0);
    v.set_sample(1, 1, 1, 5.0f);
    EXPECT_EQ(v.samples[((1 * 2 + 1) * 2 + 1) * 4], 5.0f);
}

TEST(Volume, sample_at_truncates_toward_zero) {
    Volume v;
    ASSERT_TRUE(v.allocate(3, 3, 3, 1));
    for (int i = 0; i < 27; ++i)
        v.samples[i] = static_cast<float>(i);
    EXPECT_EQ(v.sample_at(1.99, 0.0, 2.5), v.sample(1, 0, 2));
    EXPECT_EQ(v.sample_at(-0.7, 2.9, 0.2), v.sample(0, 2, 0));
}

TEST(Volume, swap_contents_exchanges_everything_but_rgba) {
    Volume a, b;
    ASSERT_TRUE(a.allocate(2, 2, 2, 1));
    a.valid = true;
    a.stat_count = 8;
    a.rgba = true;
    b.swap_contents(a);
    EXPECT_EQ(b.nx, 2);
    EXPECT_TRUE(b.valid);
    EXPECT_EQ(b.stat_count, 8);
    EXPECT_FALSE(b.rgba);
    EXPECT_TRUE(a.rgba);
    EXPECT_EQ(a.samples, nullptr);
}
