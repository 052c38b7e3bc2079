#include "transfer_function.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

TEST(TransferFunction, starts_with_the_final_point_only) {
    const TransferFunction f;
    EXPECT_EQ(f.count, 1);
    EXPECT_EQ(f.x[0], 1.0);
    EXPECT_EQ(f.y[0], 0.0);
    EXPECT_FALSE(f.segments_built);
    EXPECT_EQ(f.camera.distance(), 150.0);
    EXPECT_EQ(f.pick_camera.distance(), -100.0);
    EXPECT_EQ(f.vertical_scale, 1.0);
    EXPECT_EQ(f.pick_radius, 0.05);
    EXPECT_EQ(f.selected, -1);
    EXPECT_FALSE(f.dragging);
    EXPECT_EQ(f.projection, nullptr);
    EXPECT_EQ(f.listener, nullptr);
}

TEST(TransferFunction, find_returns_first_point_at_or_beyond_key) {
    TransferFunction f;
    f.insert(0.2, 0.1);
    f.insert(0.6, 0.4);
    EXPECT_EQ(f.find(-3.0), 0);
    EXPECT_EQ(f.find(0.2), 0);
    EXPECT_EQ(f.find(0.3), 1);
    EXPECT_EQ(f.find(1.0), 2);
    EXPECT_EQ(f.find(1.5), 3);
    EXPECT_EQ(f.find(std::nan("")), 0);
}

TEST(TransferFunction, insert_goes_in_front_of_an_equal_x) {
    TransferFunction f;
    EXPECT_EQ(f.insert(0.5, 0.3), 0);
    EXPECT_EQ(f.insert(0.5, 0.9), 0);
    EXPECT_EQ(f.count, 3);
    EXPECT_EQ(f.y[0], 0.9);
    EXPECT_EQ(f.y[1], 0.3);
    EXPECT_EQ(f.x[2], 1.0);
}

TEST(TransferFunction, full_curve_refuses_insert_unchanged) {
    TransferFunction f;
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(f.insert(i * 0.05, i * 0.01), i);
    ASSERT_EQ(f.count, 20);
    const TransferFunction before = f;
    EXPECT_EQ(f.insert(0.42, 0.5), -1);
    EXPECT_EQ(f.count, 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(f.x[i], before.x[i]);
        EXPECT_EQ(f.y[i], before.y[i]);
    }
}

TEST(TransferFunction, remove_never_takes_the_last_point) {
    TransferFunction f;
    EXPECT_EQ(f.remove(0), -1);
    EXPECT_EQ(f.remove(-1), -1);
    f.insert(0.3, 0.2);
    f.insert(0.7, 0.6);
    EXPECT_EQ(f.remove(2), -1);
    EXPECT_EQ(f.remove(-1), -1);
    EXPECT_EQ(f.remove(0), 0);
    EXPECT_EQ(f.count, 2);
    EXPECT_EQ(f.x[0], 0.7);
    EXPECT_EQ(f.x[1], 1.0);
}

TEST(TransferFunction, pick_snapshot_copies_the_camera) {
    TransferFunction f;
    f.camera.add_distance(5.0);
    Camera* snapshot = f.pick_snapshot();
    EXPECT_EQ(snapshot, &f.pick_camera);
    EXPECT_EQ(snapshot->distance(), 155.0);
}

// Every operation that changes the points or segments gives a new revision, one that changes
// nothing keeps it, and refusals keep it too.
TEST(TransferFunction, revision_follows_points_and_segments) {
    TransferFunction f;
    EXPECT_EQ(f.revision(), TransferFunction().revision()); // new curves are all alike
    f.update_segments();
    std::uint64_t seen = f.revision();
    const auto changed = [&] {
        const bool different = f.revision() != seen;
        seen = f.revision();
        return different;
    };
    EXPECT_EQ(f.insert(0.4, 0.7), 0);
    EXPECT_TRUE(changed());
    f.segments_built = false;
    f.update_segments();
    EXPECT_TRUE(changed()); // the segments now ease up to the new point
    f.segments_built = false;
    f.update_segments();
    EXPECT_FALSE(changed());
    EXPECT_TRUE(f.set_point(0, 0.4, 0.7));
    EXPECT_FALSE(changed());
    EXPECT_TRUE(f.set_point(0, 0.4, 0.8));
    EXPECT_TRUE(changed());
    EXPECT_FALSE(f.set_point(1, 0.9, 0.1)); // the last point never moves
    EXPECT_EQ(f.remove(1), -1);
    EXPECT_FALSE(changed());

    const double xs[2] = {0.4, 1.0}, ys[2] = {0.8, 0.0};
    EXPECT_TRUE(f.assign_points(2, xs, ys));
    EXPECT_FALSE(changed());
    EXPECT_FALSE(f.assign_points(0, xs, ys));
    EXPECT_EQ(f.remove(0), 0);
    EXPECT_TRUE(changed());

    TransferFunction copy = f;
    EXPECT_EQ(copy.revision(), f.revision());
    copy.mark_changed();
    EXPECT_NE(copy.revision(), f.revision());
}
