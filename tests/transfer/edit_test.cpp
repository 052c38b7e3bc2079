#include "transfer_function.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Counter : public ChangeListener {
public:
    void changed() override { ++calls; }
    int calls = 0;
};

constexpr int left = 1, right = 2;

// A curve in a panel twice as wide as high whose projection has been filled, as after the
// panel's first paint; `move` sends the mouse to the window position over curve point (u, v).
class Editing : public ::testing::Test {
protected:
    void SetUp() override {
        f.vertical_scale = 0.7;
        f.listener = &listener;
        f.projection = &projection;
        projection.aspect = 2.0;
        projection.fov = M_PI * 0.25;
        projection.tan_half_fov = std::tan(projection.fov * 0.5);
        projection.near = 3.0;
        projection.camera = f.pick_snapshot();
    }

    void move(int flags, double u, double v) {
        const double th = projection.tan_half_fov;
        const double mouse_x = (1.0 - (0.5 - u) / (th * projection.aspect)) * 0.5;
        const double mouse_y = ((0.5 - v) * f.vertical_scale / th + 1.0) * 0.5;
        EXPECT_FALSE(f.on_mouse(flags, mouse_x, mouse_y));
    }

    void expect_points(std::initializer_list<std::pair<double, double>> points) {
        ASSERT_EQ(f.count, static_cast<int>(points.size()));
        int i = 0;
        for (const auto& [px, py] : points) {
            EXPECT_NEAR(f.x[i], px, 1e-9) << "point " << i;
            EXPECT_NEAR(f.y[i], py, 1e-9) << "point " << i;
            ++i;
        }
    }

    TransferFunction f;
    ViewProjection projection;
    Counter listener;
};

} // namespace

TEST_F(Editing, left_press_inserts_and_holds_then_drags) {
    move(left, 0.3, 0.8);
    expect_points({{0.3, 0.8}, {1.0, 0.0}});
    EXPECT_EQ(f.selected, 0);
    EXPECT_TRUE(f.dragging);
    EXPECT_FALSE(f.segments_built);
    EXPECT_EQ(listener.calls, 1);
    move(left, 0.45, 1.2); // values above 1 are accepted
    expect_points({{0.45, 1.2}, {1.0, 0.0}});
    EXPECT_EQ(listener.calls, 2);
}

TEST_F(Editing, move_without_button_releases_and_tells_nobody) {
    move(left, 0.3, 0.8);
    f.update_segments();
    move(0, 0.6, 0.1);
    EXPECT_FALSE(f.dragging);
    EXPECT_TRUE(f.segments_built);
    EXPECT_EQ(listener.calls, 1);
    expect_points({{0.3, 0.8}, {1.0, 0.0}});
    // The next press picks rather than drags.
    move(left, 0.33, 0.1);
    expect_points({{0.3, 0.8}, {1.0, 0.0}});
    EXPECT_EQ(f.selected, 0);
}

TEST_F(Editing, dragging_past_the_right_neighbour_hands_over_the_hold) {
    f.insert(0.3, 0.5);
    f.insert(0.6, 0.4);
    move(left, 0.31, 0.5);
    EXPECT_EQ(f.selected, 0);
    move(left, 0.7, 0.2);
    expect_points({{0.6, 0.4}, {1.0, 0.0}});
    EXPECT_EQ(f.selected, 0);
    move(left, 0.65, 0.3);
    expect_points({{0.65, 0.3}, {1.0, 0.0}});
}

TEST_F(Editing, dragging_past_the_left_neighbour_removes_it) {
    f.insert(0.3, 0.5);
    f.insert(0.6, 0.4);
    move(left, 0.6, 0.4);
    EXPECT_EQ(f.selected, 1);
    move(left, 0.2, 0.9);
    expect_points({{0.6, 0.4}, {1.0, 0.0}}); // the held point keeps its place this event
    EXPECT_EQ(f.selected, 0);
    move(left, 0.25, 0.9);
    expect_points({{0.25, 0.9}, {1.0, 0.0}});
}

TEST_F(Editing, first_point_can_be_dragged_below_zero) {
    move(left, 0.2, 0.5);
    move(left, 0.0, 0.5);
    move(left, -0.1, 0.6);
    expect_points({{-0.1, 0.6}, {1.0, 0.0}});
}

TEST_F(Editing, right_button_deletes_the_point_under_the_cursor) {
    f.insert(0.3, 0.5);
    f.insert(0.6, 0.4);
    move(right, 0.45, 0.5); // nothing within 0.05
    EXPECT_EQ(f.count, 3);
    move(right, 0.63, 0.9);
    expect_points({{0.3, 0.5}, {1.0, 0.0}});
    move(right, 0.97, 0.0); // the last point survives
    expect_points({{0.3, 0.5}, {1.0, 0.0}});
    EXPECT_EQ(listener.calls, 3);
    EXPECT_FALSE(f.dragging);
}

TEST_F(Editing, both_buttons_insert_then_delete_in_one_event) {
    move(left | right, 0.4, 0.5);
    expect_points({{1.0, 0.0}});
    EXPECT_TRUE(f.dragging);
}

TEST_F(Editing, full_curve_holds_nothing) {
    for (int i = 0; i < 19; ++i)
        f.insert(0.01 + i * 0.02, 0.5);
    move(left, 0.7, 0.5);
    EXPECT_EQ(f.count, 20);
    EXPECT_EQ(f.selected, -1);
    EXPECT_TRUE(f.dragging);
    move(left, 0.75, 0.5); // keeps trying to pick or insert
    EXPECT_EQ(f.count, 20);
    EXPECT_EQ(f.selected, -1);
}

TEST_F(Editing, last_point_never_moves) {
    move(left, 0.97, 0.5);
    EXPECT_EQ(f.selected, 0);
    move(left, 0.98, 0.7);
    expect_points({{1.0, 0.0}});
    EXPECT_EQ(f.selected, 0);
    move(left, 0.9, 0.4); // out of its reach: a new point, held from then on
    expect_points({{0.9, 0.4}, {1.0, 0.0}});
    move(left, 0.8, 0.3);
    expect_points({{0.8, 0.3}, {1.0, 0.0}});
}

TEST_F(Editing, right_of_the_curve_releases_but_tells_the_listener) {
    move(left, 0.5, 0.5);
    move(left, 1.1, 0.5);
    EXPECT_FALSE(f.dragging);
    expect_points({{0.5, 0.5}, {1.0, 0.0}});
    EXPECT_EQ(listener.calls, 2);
}

// Before the panel's first paint the projection has no camera: the event changes nothing.
TEST_F(Editing, event_before_the_first_paint_is_ignored) {
    f.update_segments();
    projection.camera = nullptr;
    move(left, 0.3, 0.8);
    expect_points({{1.0, 0.0}});
    EXPECT_FALSE(f.dragging);
    EXPECT_TRUE(f.segments_built);
    EXPECT_EQ(f.selected, -1);
    EXPECT_EQ(listener.calls, 0);
    f.projection = nullptr;
    move(left | right, 0.3, 0.8);
    EXPECT_EQ(listener.calls, 0);
}
