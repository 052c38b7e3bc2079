#include "splat_traversal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

std::vector<int> indices(const AxisWalk& w) {
    std::vector<int> out;
    if (w.empty)
        return out;
    for (std::int64_t i = w.start; w.visits(i); i += w.stride)
        out.push_back(static_cast<int>(i));
    return out;
}

} // namespace

TEST(SplatTraversal, ten_points_eye_cell_four) {
    EXPECT_EQ(indices(splat_axis_walk(false, 10, 4, 1)), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(indices(splat_axis_walk(true, 10, 4, 1)), (std::vector<int>{9, 8, 7, 6, 5}));
    EXPECT_EQ(indices(splat_axis_walk(false, 10, 4, 4)), (std::vector<int>{0, 4}));
    EXPECT_EQ(indices(splat_axis_walk(true, 10, 4, 4)), (std::vector<int>{9, 5}));
}

TEST(SplatTraversal, both_parts_cover_each_index_once_at_step_one_for_any_eye_cell) {
    for (int n : {1, 2, 5, 10}) {
        for (int k = -30; k <= 30; ++k) {
            std::vector<int> seen(n, 0);
            for (bool upper : {false, true})
                for (int i : indices(splat_axis_walk(upper, n, k, 1)))
                    ++seen[i];
            for (int i = 0; i < n; ++i)
                EXPECT_EQ(seen[i], 1) << "n " << n << " k " << k << " index " << i;
        }
    }
}

TEST(SplatTraversal, eye_cell_outside_the_grid) {
    // Beyond the high side: the upper part is empty, the lower covers the whole axis.
    EXPECT_TRUE(splat_axis_walk(true, 10, 9, 1).empty);
    EXPECT_TRUE(splat_axis_walk(true, 10, 12, 4).empty);
    EXPECT_EQ(indices(splat_axis_walk(false, 10, 12, 4)), (std::vector<int>{0, 4, 8}));
    // Below the low side: K + s <= 0 empties the lower part.
    EXPECT_TRUE(splat_axis_walk(false, 10, -4, 4).empty);
    EXPECT_EQ(indices(splat_axis_walk(false, 10, -3, 4)), (std::vector<int>{0}));
    EXPECT_EQ(indices(splat_axis_walk(true, 10, -50, 4)), (std::vector<int>{9, 5, 1}));
    // An empty axis.
    EXPECT_TRUE(splat_axis_walk(false, 0, 0, 1).empty);
    EXPECT_TRUE(splat_axis_walk(true, 0, 0, 1).empty);
}

TEST(SplatTraversal, step_below_one_visits_nothing) {
    EXPECT_TRUE(splat_axis_walk(false, 10, 4, 0).empty);
    EXPECT_TRUE(splat_axis_walk(true, 10, 4, 0).empty);
    EXPECT_TRUE(splat_axis_walk(false, 10, 4, -2).empty);
}

TEST(SplatTraversal, octant_order_for_default_camera) {
    const int bits = splat_view_bits({1, 0, 0});
    EXPECT_EQ(bits, 1);
    std::vector<int> order;
    for (int p = 0; p < 8; ++p)
        order.push_back(splat_octant(p, bits));
    EXPECT_EQ(order, (std::vector<int>{1, 0, 3, 5, 2, 4, 7, 6}));
}

TEST(SplatTraversal, view_bits_need_strictly_positive_components) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(splat_view_bits({0, 0, 0}), 0);
    EXPECT_EQ(splat_view_bits({-1, 2, 1e-300}), 6);
    EXPECT_EQ(splat_view_bits({nan, nan, 3}), 4);
    EXPECT_EQ(splat_view_bits({-0.0, 1, 0}), 2);
}

TEST(SplatTraversal, eye_coordinate_truncates_toward_zero_and_stays_defined) {
    EXPECT_EQ(splat_eye_coordinate(-0.7), 0);
    EXPECT_EQ(splat_eye_coordinate(-1.5), -1);
    EXPECT_EQ(splat_eye_coordinate(4.99), 4);
    EXPECT_EQ(splat_eye_coordinate(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(splat_eye_coordinate(1e300), std::int64_t{1} << 40);
    EXPECT_EQ(splat_eye_coordinate(-std::numeric_limits<double>::infinity()),
              -(std::int64_t{1} << 40));
    // A huge eye cell still gives the bounds of any far-away eye.
    EXPECT_TRUE(splat_axis_walk(true, 10, splat_eye_coordinate(1e300), 1).empty);
    EXPECT_EQ(indices(splat_axis_walk(false, 3, splat_eye_coordinate(1e300), 1)),
              (std::vector<int>{0, 1, 2}));
}

TEST(SplatTraversal, corners_are_half_steps_from_the_centre) {
    const Vec3 c0 = splat_corner(0, 1, 2, 4);
    EXPECT_EQ(c0.x, -0.5);
    EXPECT_EQ(c0.y, -1.0);
    EXPECT_EQ(c0.z, -2.0);
    const Vec3 c5 = splat_corner(5, 1, 2, 4);
    EXPECT_EQ(c5.x, 0.5);
    EXPECT_EQ(c5.y, -1.0);
    EXPECT_EQ(c5.z, 2.0);
}

// The per-axis lists name exactly the grid points a frame visits, for eyes inside and outside
// the grid and steps that do and do not divide the extents.
TEST(SplatTraversal, axis_indices_combine_into_the_points_a_frame_visits) {
    const int n[3] = {11, 7, 5};
    for (const std::int64_t k : {-9, 0, 3, 6, 10, 40})
        for (const int s : {1, 2, 3, 4, 6}) {
            const int step[3] = {s, s + 1, 2};
            const std::int64_t eye[3] = {k, k / 2, k - 2};
            std::vector<char> visited(11 * 7 * 5, 0);
            for (const int bits : {0, 5})
                walk_splats(
                    n, step, eye, bits, [](int, const AxisWalk*) {},
                    [&](int x, int y, int z) { visited[(z * 7 + y) * 11 + x] = 1; });
            std::vector<char> listed(visited.size(), 0);
            for (int z : splat_axis_indices(n[2], eye[2], step[2]))
                for (int y : splat_axis_indices(n[1], eye[1], step[1]))
                    for (int x : splat_axis_indices(n[0], eye[0], step[0]))
                        listed[(z * 7 + y) * 11 + x] = 1;
            EXPECT_EQ(listed, visited) << "k " << k << " s " << s;
        }
    EXPECT_TRUE(splat_axis_indices(10, 4, 0).empty());
}
