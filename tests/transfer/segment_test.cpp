#include "segment_builder.h"
#include "transfer_function.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double eval(const CubicSegment& s, double x) {
    const double* c = s.coefficients;
    return c[0] + c[1] * x + c[2] * x * x + c[3] * x * x * x;
}

TransferFunction curve_with(std::initializer_list<std::pair<double, double>> points) {
    TransferFunction f;
    for (const auto& [px, py] : points)
        f.insert(px, py);
    return f;
}

} // namespace

TEST(SegmentBuilder, is_one_shared_instance) {
    EXPECT_EQ(&SegmentBuilder::instance(), &SegmentBuilder::instance());
    TransferFunction f;
    EXPECT_EQ(f.builder, nullptr);
    f.update_segments();
    EXPECT_EQ(f.builder, &SegmentBuilder::instance());
}

TEST(SegmentBuilder, worked_example_reproduces) {
    TransferFunction f = curve_with({{0.5, 1.0}});
    f.update_segments();
    const double first[4] = {0, 0, 12, -16};
    const double second[4] = {-4, 24, -36, 16};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(f.segments[0].coefficients[k], first[k], 1e-12);
        EXPECT_NEAR(f.segments[1].coefficients[k], second[k], 1e-12);
    }
    EXPECT_NEAR(eval(f.segments[0], 0.25), 0.5, 1e-12);
    EXPECT_NEAR(eval(f.segments[0], 0.5), 1.0, 1e-12);
    EXPECT_NEAR(eval(f.segments[1], 0.5), 1.0, 1e-12);
    EXPECT_NEAR(eval(f.segments[1], 0.75), 0.5, 1e-12);
    EXPECT_NEAR(eval(f.segments[1], 1.0), 0.0, 1e-12);
}

TEST(SegmentBuilder, new_curve_is_flat_zero) {
    TransferFunction f;
    f.update_segments();
    for (double c : f.segments[0].coefficients)
        EXPECT_EQ(c, 0.0);
}

TEST(SegmentBuilder, each_segment_eases_between_its_points) {
    TransferFunction f = curve_with({{0.1, 0.3}, {0.35, 0.9}, {0.6, 0.2}, {0.8, 0.7}});
    f.update_segments();
    for (int i = 0; i < f.count; ++i) {
        const double x0 = i ? f.x[i - 1] : 0.0, y0 = i ? f.y[i - 1] : 0.0;
        const double w = f.x[i] - x0, d = f.y[i] - y0;
        for (double s : {0.0, 0.2, 0.5, 0.9, 1.0}) {
            const double expected = y0 + d * (3 * s * s - 2 * s * s * s);
            EXPECT_NEAR(eval(f.segments[i], x0 + s * w), expected, 1e-9) << i << " " << s;
        }
    }
}

// Two points at one x, or a first point at x = 0, leave a segment without width: it holds the
// segment's end value instead of infinities.
TEST(SegmentBuilder, zero_width_segment_is_its_end_value) {
    // The second insert goes in front: (0.4, 0.9), (0.4, 0.6), (1.0, 0.0).
    TransferFunction f = curve_with({{0.4, 0.6}, {0.4, 0.9}});
    f.update_segments();
    EXPECT_EQ(f.segments[1].coefficients[0], 0.6);
    for (int k = 1; k < 4; ++k)
        EXPECT_EQ(f.segments[1].coefficients[k], 0.0);

    TransferFunction g = curve_with({{0.0, 0.7}});
    g.update_segments();
    EXPECT_EQ(g.segments[0].coefficients[0], 0.7);
    for (int i = 0; i < g.count; ++i)
        for (double c : g.segments[i].coefficients)
            EXPECT_TRUE(std::isfinite(c));
}

TEST(SegmentBuilder, tiny_width_never_gives_non_finite_coefficients) {
    TransferFunction f = curve_with({{0.5, 0.2}, {0.5 + 1e-300, 0.8}});
    f.update_segments();
    for (int i = 0; i < f.count; ++i)
        for (double c : f.segments[i].coefficients)
            EXPECT_TRUE(std::isfinite(c));
}

TEST(TransferFunction, update_without_change_does_nothing) {
    TransferFunction f = curve_with({{0.5, 1.0}});
    f.update_segments();
    EXPECT_TRUE(f.segments_built);
    f.y[0] = 0.25; // not announced: segments stay as built
    f.update_segments();
    EXPECT_NEAR(f.segments[0].coefficients[2], 12.0, 1e-12);
    f.segments_built = false;
    f.update_segments();
    EXPECT_NEAR(f.segments[0].coefficients[2], 3.0, 1e-12);
}

// Narrow means reaching more than 64 widths from 0: a segment from 0.984375 to 1 (exactly 1/64
// wide) is ordinary, one from 0.985 is narrow; the first segment, starting at 0, never is.
TEST(SegmentBuilder, narrow_above_sixty_four_widths_from_zero) {
    TransferFunction edge = curve_with({{0.984375, 0.5}});
    edge.update_segments();
    EXPECT_FALSE(edge.segments[1].narrow);
    TransferFunction inside = curve_with({{0.985, 0.5}});
    inside.update_segments();
    EXPECT_TRUE(inside.segments[1].narrow);
    TransferFunction first = curve_with({{1e-9, 0.5}});
    first.update_segments();
    EXPECT_FALSE(first.segments[0].narrow);
}

// A segment without width, or too narrow for even the local form (1 / w^3 overflows), holds
// its end value in both forms and is read as before.
TEST(SegmentBuilder, degenerate_segments_hold_their_end_value_in_both_forms) {
    // Two points at 0.4 (the second insert goes in front), and two 1e-200 apart.
    for (const TransferFunction& points :
         {curve_with({{0.4, 0.6}, {0.4, 0.9}}), curve_with({{3e-200, 0.6}, {4e-200, 0.6}})}) {
        TransferFunction f = points;
        f.update_segments();
        const CubicSegment& s = f.segments[1];
        EXPECT_FALSE(s.narrow);
        EXPECT_EQ(s.coefficients[0], 0.6);
        EXPECT_EQ(s.local[0], 0.6);
        for (int k = 1; k < 4; ++k) {
            EXPECT_EQ(s.coefficients[k], 0.0);
            EXPECT_EQ(s.local[k], 0.0);
        }
    }
}

// Values so large that the re-expansion overflows: the absolute form holds the end value as
// before, and the finite local form is what readers use.
TEST(SegmentBuilder, overflowing_absolute_form_falls_back_to_the_local_form) {
    // From (0.9, 5e304) to (1, 0): the local c3 is 1e308, the absolute c2 would be -2.9e308.
    TransferFunction f = curve_with({{0.9, 5e304}});
    f.update_segments();
    const CubicSegment& s = f.segments[1];
    EXPECT_EQ(s.coefficients[0], 0.0);
    EXPECT_TRUE(s.narrow);
    for (double c : s.local)
        EXPECT_TRUE(std::isfinite(c));
}
