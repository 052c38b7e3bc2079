#include "headless_view.h"
#include "render_fixtures.h"
#include "view_controller.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void expect_orientation(const Camera& cam, const Mat3& m, double tol = 1e-12) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(cam.orientation.m[r][c], m.m[r][c], tol) << r << "," << c;
}

Mat3 identity() {
    Mat3 m;
    m.set_identity();
    return m;
}

// Configured as the main view uses it.
ViewController main_view_controller() {
    ViewController vc;
    vc.camera.set_distance(750);
    vc.lighting_enabled = true;
    vc.drag_y_axis = 1;
    vc.drag_x_axis = 0;
    return vc;
}

} // namespace

TEST(ViewController, first_event_only_records_flags_and_position) {
    ViewController vc;
    EXPECT_TRUE(vc.on_mouse(3, 0.8, 0.1));
    EXPECT_EQ(vc.last_buttons, 3);
    EXPECT_EQ(vc.last_x, 0.8);
    EXPECT_EQ(vc.last_y, 0.1);
    EXPECT_EQ(vc.camera.distance(), -100.0);
    expect_orientation(vc.camera, identity(), 0.0);
}

TEST(ViewController, right_drag_from_bottom_to_top_zooms_to_minus_one_and_sticks) {
    ViewController vc = main_view_controller();
    vc.on_mouse(2, 0.5, 1.0);
    vc.on_mouse(2, 0.5, 0.0); // (750 + 1) * (0 - 1)
    EXPECT_EQ(vc.camera.distance(), -1.0);
    vc.on_mouse(2, 0.5, 0.7);
    vc.on_mouse(2, 0.5, 0.2);
    EXPECT_EQ(vc.camera.distance(), -1.0); // the factor D + 1 stays 0
}

TEST(ViewController, right_drag_down_moves_the_eye_away) {
    ViewController vc = main_view_controller();
    vc.on_mouse(2, 0.5, 0.5);
    vc.on_mouse(2, 0.5, 0.6);
    EXPECT_NEAR(vc.camera.distance(), 750 + 751 * 0.1, 1e-9);
    expect_orientation(vc.camera, identity(), 0.0); // zoom does not rotate
}

TEST(ViewController, vertical_drag_tilts_about_the_side_axis) {
    ViewController vc = main_view_controller();
    vc.on_mouse(1, 0.4, 0.2);
    vc.on_mouse(1, 0.4, 0.5); // x unchanged: only A = R(1, 0.3) applies
    expect_orientation(vc.camera, Mat3::axis_rotation(1, 0.3));
    const Vec3 eye = vc.camera.eye();
    EXPECT_NEAR(std::sqrt(eye.x * eye.x + eye.y * eye.y + eye.z * eye.z), 750.0, 1e-9);
    EXPECT_NEAR(eye.x, 750 * std::cos(0.3), 1e-9);
    EXPECT_NEAR(eye.z, 750 * std::sin(0.3), 1e-9);
}

TEST(ViewController, horizontal_drag_turns_the_frame_about_world_x) {
    ViewController vc = main_view_controller();
    vc.camera.orientation = Mat3::axis_rotation(1, 0.3);
    const Mat3 start = vc.camera.orientation;
    vc.on_mouse(1, 0.1, 0.5);
    vc.on_mouse(1, 0.6, 0.5); // y unchanged: A is the identity, B = R(0, 0.5)
    expect_orientation(vc.camera, Mat3::product(start, Mat3::axis_rotation(0, 0.5)));
}

TEST(ViewController, both_drags_combine_tilt_on_the_left_and_turn_on_the_right) {
    ViewController vc = main_view_controller();
    vc.drag_y_scale = 2;
    vc.on_mouse(3, 0.1, 0.1);
    vc.on_mouse(3, 0.3, 0.2);
    const Mat3 a = Mat3::axis_rotation(1, 0.1 * 2);
    const Mat3 b = Mat3::axis_rotation(0, 0.2);
    expect_orientation(vc.camera, Mat3::product(Mat3::product(a, identity()), b), 1e-12);
    EXPECT_NEAR(vc.camera.distance(), 750 + 751 * 0.1, 1e-9);
}

TEST(ViewController, release_ends_the_drag) {
    ViewController vc = main_view_controller();
    vc.on_mouse(1, 0.1, 0.1);
    vc.on_mouse(0, 0.5, 0.5); // button up
    vc.on_mouse(1, 0.9, 0.9); // pressed again: a new drag starts here
    expect_orientation(vc.camera, identity(), 0.0);
    vc.on_mouse(1, 0.9, 0.9); // moved by nothing
    expect_orientation(vc.camera, identity(), 1e-15);
}

// Before the main view sets it up, a left drag turns the camera about its own y axis with
// vertical motion and about the world's z axis with horizontal motion, a radian per window.
TEST(ViewController, new_controller_turns_about_y_and_z_a_radian_per_window) {
    ViewController vc;
    vc.on_mouse(1, 0.5, 0.5);
    vc.on_mouse(1, 0.5, 0.75);
    expect_orientation(vc.camera, Mat3::axis_rotation(1, 0.25));
    ViewController across;
    across.on_mouse(1, 0.5, 0.5);
    across.on_mouse(1, 0.25, 0.5);
    expect_orientation(across.camera, Mat3::axis_rotation(2, -0.25));
}

TEST(ViewController, draw_sets_viewer_fixed_light_only_when_enabled) {
    HeadlessView view;
    ASSERT_TRUE(view.open(16, 16)) << view.error();
    ViewController vc;
    bool lighting = true, light0 = true;
    GLfloat position[4] = {}, diffuse[4] = {}, specular[4] = {};
    double modelview[16] = {}, expected[16] = {};
    Probe probe([&] {
        lighting = glIsEnabled(GL_LIGHTING);
        light0 = glIsEnabled(GL_LIGHT0);
        glGetLightfv(GL_LIGHT0, GL_POSITION, position);
        glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glGetLightfv(GL_LIGHT0, GL_SPECULAR, specular);
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    });
    view.draw_list = {&vc, &probe};
    view.repaint();
    EXPECT_FALSE(lighting);
    EXPECT_FALSE(light0);
    EXPECT_EQ(diffuse[0], 1.0f); // GL_LIGHT0's default, untouched
    EXPECT_EQ(specular[0], 1.0f);

    vc.lighting_enabled = true;
    view.repaint();
    EXPECT_TRUE(lighting);
    EXPECT_TRUE(light0);
    // Given under the identity: stays (0, 0, 1, 0) in eye space whatever the camera.
    EXPECT_EQ(position[0], 0.0f);
    EXPECT_EQ(position[2], 1.0f);
    EXPECT_EQ(position[3], 0.0f);
    EXPECT_FLOAT_EQ(diffuse[0], 0.7f);
    EXPECT_FLOAT_EQ(specular[1], 0.9f);

    Probe look([&] {
        glLoadIdentity();
        vc.camera.look_at();
        glGetDoublev(GL_MODELVIEW_MATRIX, expected);
    });
    view.draw_list = {&look};
    view.repaint();
    for (int i = 0; i < 16; ++i)
        EXPECT_DOUBLE_EQ(modelview[i], expected[i]);
}
