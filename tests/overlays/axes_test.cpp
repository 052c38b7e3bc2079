// The orientation axes read back from the pixels after known rotations, and View From's
// camera.
#include "overlay_pixels.h"

#include "orientation_axes.h"
#include "shared_constants.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int width = 320, height = 240;

struct Arrow {
    int pixels = 0;
    double right = 0.0; // mean offset of its pixels from the triad's centre
    double up = 0.0;
    double reach = 0.0; // the farthest pixel from the centre
};

// The pixels of axis i's colour in the triad's corner.
Arrow arrow_of(const Frame& f, int i) {
    const AxesLayout l = AxesLayout::for_view(f.width, f.height);
    const unsigned char* colour = OrientationAxes::colours[i];
    Arrow a;
    for (int y = 0; y < 2 * l.centre_y; ++y)
        for (int x = 0; x < 2 * l.centre_x; ++x) {
            const unsigned char* p = f.at(x, y);
            if (p[0] != colour[0] || p[1] != colour[1] || p[2] != colour[2])
                continue;
            const double dx = x + 0.5 - l.centre_x, dy = y + 0.5 - l.centre_y;
            ++a.pixels;
            a.right += dx;
            a.up += dy;
            a.reach = std::max(a.reach, std::hypot(dx, dy));
        }
    if (a.pixels > 0) {
        a.right /= a.pixels;
        a.up /= a.pixels;
    }
    return a;
}

// The arrow points along (right, up) on the screen, within 3 degrees.
void expect_points(const Arrow& a, double right, double up, const char* what) {
    ASSERT_GT(a.pixels, 20) << what;
    const double angle = std::atan2(a.up, a.right) - std::atan2(up, right);
    EXPECT_NEAR(std::remainder(angle, 2.0 * pi), 0.0, 3.0 * pi / 180.0) << what;
    EXPECT_GT(a.reach, AxesLayout::arrow_length * std::hypot(right, up) - 3.0) << what;
}

// An arrow seen end on: nothing of it beyond a few pixels from the centre.
void expect_end_on(const Arrow& a, const char* what) {
    EXPECT_LE(a.reach, 3.0) << what;
}

Frame axes_frame(Scene& scene) {
    scene.axes.shown = true;
    return draw_frame(scene, width, height);
}

} // namespace

TEST(OrientationAxes, start_up_view_has_y_right_and_z_up) {
    Scene scene;
    const Frame f = axes_frame(scene);
    // The eye on world +x, the file's x growing away from it (the grid is mirrored along x).
    expect_end_on(arrow_of(f, 0), "x");
    expect_points(arrow_of(f, 1), 1.0, 0.0, "y");
    expect_points(arrow_of(f, 2), 0.0, 1.0, "z");
    // Shown off: no triad.
    scene.axes.shown = false;
    const Frame off = draw_frame(scene, width, height);
    EXPECT_EQ(arrow_of(off, 1).pixels, 0);
}

TEST(OrientationAxes, turn_with_the_camera) {
    {
        // A turn of a quarter about the world's x: y up, z to the left.
        Scene scene;
        scene.place_camera(std::nullopt, 0.0, pi / 2);
        const Frame f = axes_frame(scene);
        expect_end_on(arrow_of(f, 0), "x");
        expect_points(arrow_of(f, 1), 0.0, 1.0, "y");
        expect_points(arrow_of(f, 2), -1.0, 0.0, "z");
    }
    {
        // A tilt of a quarter: the eye above the grid, the file's x up the screen.
        Scene scene;
        scene.place_camera(std::nullopt, pi / 2, 0.0);
        const Frame f = axes_frame(scene);
        expect_points(arrow_of(f, 0), 0.0, 1.0, "x");
        expect_points(arrow_of(f, 1), 1.0, 0.0, "y");
        expect_end_on(arrow_of(f, 2), "z");
    }
    {
        // Any rotation: each arrow along its axis's projection onto the screen's axes.
        Scene scene;
        scene.place_camera(std::nullopt, 0.4, -0.7, 0.3);
        const Frame f = axes_frame(scene);
        const Camera& c = scene.view_controller.camera;
        const Vec3 world[3] = {{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (int i = 0; i < 3; ++i) {
            const Vec3 side = c.axis(1), up = c.axis(2);
            const double r = world[i].x * side.x + world[i].y * side.y + world[i].z * side.z;
            const double u = world[i].x * up.x + world[i].y * up.y + world[i].z * up.z;
            expect_points(arrow_of(f, i), r, u, "any rotation");
        }
    }
}

TEST(OrientationAxes, follow_flips_and_an_eye_past_the_target) {
    Scene scene;
    scene.set_axis_scale({1.0, 1.0, -1.0}); // a depth drawn downwards
    Frame f = axes_frame(scene);
    expect_points(arrow_of(f, 2), 0.0, -1.0, "flipped z");
    // Zoomed through the centre: the grid is seen from behind, y runs to the left.
    scene.view_controller.camera.eye_offset.x = -200.0;
    f = axes_frame(scene);
    expect_points(arrow_of(f, 1), -1.0, 0.0, "y from behind");
}

TEST(ViewFrom, looks_along_each_axis_at_the_same_distance) {
    for (int axis = 0; axis < 3; ++axis)
        for (const bool positive : {true, false}) {
            Scene scene;
            scene.place_camera(-320.0, 0.3, 0.5, 0.2);
            scene.view_controller.camera.eye_offset.x = -320.0; // past the target
            scene.view_from(axis, positive);
            const Camera& c = scene.view_controller.camera;
            EXPECT_DOUBLE_EQ(c.distance(), 320.0);
            // The eye on the side towards which the axis grows (or the other).
            const Vec3 want =
                grid_axis_direction(axis, scene.axis_scale()).scaled(positive ? 320.0 : -320.0);
            const Vec3 eye = c.eye().sub(c.target);
            EXPECT_NEAR(eye.x, want.x, 1e-9);
            EXPECT_NEAR(eye.y, want.y, 1e-9);
            EXPECT_NEAR(eye.z, want.z, 1e-9);
            // A proper rotation: orthonormal rows, determinant 1.
            const Mat3& m = c.orientation;
            const double det = m.m[0][0] * (m.m[1][1] * m.m[2][2] - m.m[1][2] * m.m[2][1]) -
                               m.m[0][1] * (m.m[1][0] * m.m[2][2] - m.m[1][2] * m.m[2][0]) +
                               m.m[0][2] * (m.m[1][0] * m.m[2][1] - m.m[1][1] * m.m[2][0]);
            EXPECT_NEAR(det, 1.0, 1e-12);
            // Up is the world's z beside the grid, the grid's y from above or below.
            const Vec3 up = c.axis(2);
            EXPECT_DOUBLE_EQ(axis == 2 ? up.y : up.z, 1.0);
            // On the screen: the chosen axis end on, the others along the screen's axes.
            const Frame f = axes_frame(scene);
            expect_end_on(arrow_of(f, axis), "the axis looked along");
        }
}

TEST(ViewFrom, a_flipped_axis_is_viewed_from_where_it_grows) {
    Scene scene;
    scene.set_axis_scale({1.0, 1.0, -1.0});
    scene.view_from(2, true); // +z of a depth: from below
    EXPECT_LT(scene.view_controller.camera.eye().z, 0.0);
    scene.view_from(0, true); // the file's +x lies at world -x
    EXPECT_LT(scene.view_controller.camera.eye().x, 0.0);
    // The picture's up stays the world's up.
    EXPECT_DOUBLE_EQ(scene.view_controller.camera.axis(2).z, 1.0);
}
