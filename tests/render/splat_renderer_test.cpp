#include "gl_feedback.h"
#include "render_fixtures.h"
#include "splat_renderer.h"
#include "view_controller.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace {

// A headless view with the camera's look-at (no light, so feedback colours are the splat
// colours) followed by a renderer.
class SplatScene : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(view.open(200, 200)) << view.error();
        renderer.camera = &controller.camera;
        renderer.step_x = renderer.step_y = renderer.step_z = 1;
        view.draw_list = {&controller, &renderer};
    }

    std::vector<FeedbackPrimitive> capture() {
        std::vector<FeedbackPrimitive> prims;
        EXPECT_TRUE(view.make_current());
        EXPECT_TRUE(capture_feedback([&] { view.draw_frame(200, 200); }, 1 << 22, prims));
        return prims;
    }

    HeadlessView view;
    ViewController controller;
    SplatRenderer renderer;
};

} // namespace

TEST_F(SplatScene, null_volume_draws_nothing) {
    EXPECT_TRUE(capture().empty());
    EXPECT_EQ(renderer.last_stats.splats, 0);
}

TEST_F(SplatScene, every_point_drawn_once_at_step_one_wherever_the_eye_is) {
    RecordingVolume v;
    make_colour_volume(v, 7, 5, 4);
    renderer.volume = &v;
    const double distances[] = {-100, -3, 0, 2.5, 4, 60};
    int frames = 0;
    for (double d : distances)
        for (int turn = 0; turn < 6; ++turn) {
            controller.camera = Camera();
            controller.camera.eye_offset.x = d;
            controller.camera.rotate_left(Mat3::axis_rotation(1, 0.9 * turn));
            controller.camera.rotate_right(Mat3::axis_rotation(2, 1.3 * turn));
            for (int path = 0; path < 2; ++path) {
                renderer.drawing = path == 1 ? SplatDrawing::immediate : SplatDrawing::arrays;
                v.visits.clear();
                view.repaint();
                std::map<std::tuple<int, int, int>, int> seen;
                for (const Visit& p : v.visits)
                    ++seen[{p.x, p.y, p.z}];
                ASSERT_EQ(seen.size(), 7u * 5u * 4u) << "distance " << d << " turn " << turn;
                for (const auto& [point, count] : seen)
                    ASSERT_EQ(count, 1);
                EXPECT_EQ(renderer.last_stats.splats, 140);
                ++frames;
            }
        }
    EXPECT_EQ(frames, 72);
}

TEST_F(SplatScene, default_camera_visits_x_upper_octant_first) {
    RecordingVolume v;
    make_colour_volume(v, 4, 4, 4);
    renderer.volume = &v;
    renderer.camera = &default_camera; // eye at x = 2 - 100: eye cell (-98, 2, 2)
    view.repaint();
    ASSERT_EQ(v.visits.size(), 64u);
    // Octant 1: x from 3 down to 0 innermost, y and z from 0 up to the eye cell 2.
    EXPECT_EQ(v.visits[0], (Visit{3, 0, 0}));
    EXPECT_EQ(v.visits[1], (Visit{2, 0, 0}));
    EXPECT_EQ(v.visits[4], (Visit{3, 1, 0}));
    EXPECT_EQ(v.visits[35], (Visit{0, 2, 2}));
    // Octant 0 is empty (the eye is below x = 0); octant 3 takes y's upper part.
    EXPECT_EQ(v.visits[36], (Visit{3, 3, 0}));
    EXPECT_EQ(v.visits[63], (Visit{0, 3, 3})); // octant 7 last: y and z upper
}

TEST_F(SplatScene, steps_of_four_on_ten_points_draw_both_lattices) {
    RecordingVolume v;
    make_colour_volume(v, 10, 1, 1);
    renderer.volume = &v;
    renderer.step_x = 4;
    controller.camera.set_distance(0.0);   // eye at the target: eye cell (5, 0, 0)
    controller.camera.eye_offset.x = -1.0; // cell 4 on x
    view.repaint();
    std::vector<int> xs;
    for (const Visit& p : v.visits)
        xs.push_back(p.x);
    std::sort(xs.begin(), xs.end());
    EXPECT_EQ(xs, (std::vector<int>{0, 4, 5, 9}));
}

TEST_F(SplatScene, fans_have_six_triangles_with_opaque_centre_and_faint_rim) {
    Volume v;
    make_colour_volume(v, 3, 2, 2);
    renderer.volume = &v;
    for (int mode : {1, 2, -1}) {
        renderer.mode = mode;
        const auto prims = capture();
        ASSERT_EQ(prims.size(), 12u * 6u) << "mode " << mode;
        for (const FeedbackPrimitive& p : prims) {
            ASSERT_EQ(p.token, static_cast<GLenum>(GL_POLYGON_TOKEN));
            ASSERT_EQ(p.vertices.size(), 3u);
            float lo = 2, hi = -1;
            for (const FeedbackVertex& q : p.vertices) {
                lo = std::min(lo, q.a);
                hi = std::max(hi, q.a);
            }
            EXPECT_NEAR(lo, 0.1f * hi, 1e-6f);
            EXPECT_GE(hi, 0.5f);
        }
    }
}

TEST_F(SplatScene, quads_cover_each_point_once) {
    Volume v;
    make_colour_volume(v, 3, 2, 2);
    renderer.volume = &v;
    renderer.mode = 0;
    const auto prims = capture();
    std::size_t corners = 0;
    for (const FeedbackPrimitive& p : prims) {
        corners += p.vertices.size();
        for (const FeedbackVertex& q : p.vertices)
            EXPECT_GE(q.a, 0.5f); // no faint rim on a quad
    }
    // Each quad arrives as one polygon of 4 or as two triangles.
    EXPECT_TRUE((prims.size() == 12u && corners == 48u) || (prims.size() == 24u && corners == 72u))
        << prims.size() << " primitives, " << corners << " vertices";
}

TEST_F(SplatScene, scalar_sample_at_mean_is_grey_with_opacity_015) {
    Volume v;
    v.allocate(1, 1, 1, 1);
    fill_volume(v, [](int, int, int, int) { return 20.0f; });
    renderer.volume = &v;
    renderer.value_mean = 20.0;
    renderer.value_std_dev = 4.0;
    const auto prims = capture();
    ASSERT_EQ(prims.size(), 6u);
    float alpha = 0;
    for (const FeedbackVertex& q : prims[0].vertices) {
        EXPECT_FLOAT_EQ(q.r, 0.5f);
        EXPECT_FLOAT_EQ(q.g, 0.5f);
        EXPECT_FLOAT_EQ(q.b, 0.5f);
        alpha = std::max(alpha, q.a);
    }
    EXPECT_FLOAT_EQ(alpha, 0.15f);
}

TEST_F(SplatScene, scalar_colour_is_unclamped_but_opacity_tops_at_03) {
    Volume v;
    v.allocate(1, 1, 1, 1);
    fill_volume(v, [](int, int, int, int) { return 40.0f; }); // five std-devs above the mean
    renderer.volume = &v;
    renderer.value_mean = 20.0;
    renderer.value_std_dev = 4.0;
    float red = 0, alpha = 0;
    renderer.drawing = SplatDrawing::immediate;
    Probe read_colour([&] {
        GLfloat c[4];
        glGetFloatv(GL_CURRENT_COLOR, c);
        red = c[0];
        alpha = c[3] / 0.1f; // the current colour is the fan rim's
    });
    view.draw_list.push_back(&read_colour);
    view.repaint();
    EXPECT_FLOAT_EQ(red, 3.0f); // S = (40 + 4 - 20) * 0.5 / 4
    EXPECT_NEAR(alpha, 0.3f, 1e-6);

    renderer.drawing = SplatDrawing::arrays; // the array path leaves the same colour behind
    red = alpha = 0;
    view.repaint();
    EXPECT_FLOAT_EQ(red, 3.0f);
    EXPECT_NEAR(alpha, 0.3f, 1e-6);
}

TEST_F(SplatScene, zero_gradient_gives_zero_normal) {
    Volume v;
    v.allocate(3, 3, 3, 1);
    fill_volume(v, [](int, int, int, int) { return 1.0f; });
    renderer.volume = &v;
    renderer.value_std_dev = 1.0;
    GLfloat normal[3] = {9, 9, 9};
    Probe read_normal([&] { glGetFloatv(GL_CURRENT_NORMAL, normal); });
    view.draw_list.push_back(&read_normal);
    view.repaint();
    EXPECT_EQ(normal[0], 0.0f);
    EXPECT_EQ(normal[1], 0.0f);
    EXPECT_EQ(normal[2], 0.0f);
}

TEST_F(SplatScene, empty_or_unreadable_volume_draws_no_splats) {
    Volume empty;
    empty.allocate(0, 0, 0, 4);
    empty.rgba = true;
    renderer.volume = &empty;
    for (int mode : {0, 1}) {
        renderer.mode = mode;
        EXPECT_TRUE(capture().empty());
    }
    Volume thin; // a colour volume flag on a one-component grid
    thin.allocate(2, 2, 2, 1);
    thin.rgba = true;
    fill_volume(thin, [](int, int, int, int) { return 1.0f; });
    renderer.volume = &thin;
    EXPECT_TRUE(capture().empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SplatScene, fan_centre_is_the_box_corner_facing_the_eye) {
    Volume v;
    make_colour_volume(v, 1, 1, 1); // the point sits at (-0.5, -0.5, -0.5)
    renderer.volume = &v;
    // Eye on the +x +y +z diagonal: the box corner (0, 0, 0) faces it, and lies on the axis of
    // view, so it lands in the middle of the window with the rim around it.
    Camera& cam = controller.camera;
    cam.rotate_left(Mat3::axis_rotation(2, -0.25 * 3.141592653589793));
    cam.rotate_left(Mat3::axis_rotation(1, std::atan(1.0 / std::sqrt(2.0))));
    cam.set_distance(10);
    const Vec3 eye = cam.eye();
    ASSERT_NEAR(eye.x, eye.y, 1e-9);
    ASSERT_NEAR(eye.y, eye.z, 1e-9);
    ASSERT_GT(eye.x, 0.0);

    const auto prims = capture();
    ASSERT_EQ(prims.size(), 6u);
    for (const FeedbackPrimitive& p : prims) {
        int centres = 0;
        for (const FeedbackVertex& q : p.vertices)
            if (q.a > 0.2f) { // centre A = 0.5, rim 0.05
                ++centres;
                EXPECT_NEAR(q.x, 100.0f, 1e-3);
                EXPECT_NEAR(q.y, 100.0f, 1e-3);
            } else {
                // The rim is the cube's silhouette: all six corners equally far out.
                const double r = std::hypot(q.x - 100.0, q.y - 100.0);
                EXPECT_GT(r, 5.0);
                EXPECT_LT(r, 30.0);
            }
        EXPECT_EQ(centres, 1);
    }
}

// The fan's centre is the box corner turned toward the eye cell (corner 7 XOR t), not merely a
// corner on the line of sight: with the eye in each of the eight octants, on both paths, the
// centre lands where that corner projects, depth included, and is nearer than every rim vertex
// (the opposite corner, 0 XOR t, projects to nearly the same pixel but lies behind them all).
TEST_F(SplatScene, fan_centre_is_the_corner_toward_the_eye_in_depth_too) {
    Volume v;
    make_colour_volume(v, 1, 1, 1); // the point sits at (-0.5, -0.5, -0.5), its box [-1, 0]^3
    renderer.volume = &v;
    GLdouble model[16], projection[16];
    GLint viewport[4];
    Probe read_matrices([&] {
        glGetDoublev(GL_MODELVIEW_MATRIX, model); // the camera's look-at, as the renderer gets it
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
    });
    view.draw_list = {&controller, &read_matrices, &renderer};
    for (int octant = 0; octant < 8; ++octant) {
        const double sx = octant & 1 ? 1 : -1, sy = octant & 2 ? 1 : -1, sz = octant & 4 ? 1 : -1;
        // An eye axis off the diagonals, so no two corners share a line of sight; the side
        // axis is level and the up axis completes the frame.
        const double a[3] = {0.8 * sx, 0.5 * sy, 0.33 * sz};
        const double b[3] = {-a[1], a[0], 0.0};
        const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                             a[0] * b[1] - a[1] * b[0]};
        const auto length = [](const double* r) {
            return std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
        };
        Camera& cam = controller.camera;
        for (int i = 0; i < 3; ++i) {
            cam.orientation.m[0][i] = a[i] / length(a);
            cam.orientation.m[1][i] = b[i] / length(b);
            cam.orientation.m[2][i] = c[i] / length(c);
        }
        cam.set_distance(12); // the eye at 12 * axis: at least 3.9 from the box on every axis
        for (bool immediate : {true, false}) {
            renderer.drawing = immediate ? SplatDrawing::immediate : SplatDrawing::arrays;
            const auto prims = capture();
            ASSERT_EQ(prims.size(), 6u) << octant;
            GLdouble wx, wy, wz;
            ASSERT_TRUE(gluProject(-0.5 + 0.5 * sx, -0.5 + 0.5 * sy, -0.5 + 0.5 * sz, model,
                                   projection, viewport, &wx, &wy, &wz));
            int centres = 0;
            for (const FeedbackPrimitive& p : prims) {
                ASSERT_EQ(p.vertices.size(), 3u);
                float centre_depth = 2.0f, nearest_rim = 2.0f;
                for (const FeedbackVertex& q : p.vertices) {
                    if (q.a > 0.2f) { // centre A = 0.5 or more, rim a tenth of it
                        ++centres;
                        EXPECT_NEAR(q.x, wx, 1e-3) << "octant " << octant;
                        EXPECT_NEAR(q.y, wy, 1e-3) << "octant " << octant;
                        EXPECT_NEAR(q.z, wz, 1e-6) << "octant " << octant;
                        centre_depth = q.z;
                    } else {
                        nearest_rim = std::min(nearest_rim, q.z);
                    }
                }
                EXPECT_LT(centre_depth, nearest_rim) << "octant " << octant;
            }
            EXPECT_EQ(centres, 6) << "octant " << octant << (immediate ? " immediate" : "");
        }
    }
}

// The scalar path's opacity ramp away from its midpoint, where U = h = 0.5 would hide a wrong
// smooth step: U = 0.25 gives h = U^2 (3 - 2U) = 0.15625 and opacity 0.3 h = 0.046875, whether
// U comes from the sample alone, from the ramp's offset or from its slope.
TEST_F(SplatScene, scalar_opacity_ramp_at_a_quarter) {
    struct Setting {
        float value;
        double offset, scale, level; // level: the expected S, U being 0.25 in every case
    };
    const Setting settings[] = {{18.0f, 0.0, 1.0, 0.25}, // S = (18 + 4 - 20) * 0.5 / 4
                                {20.0f, 0.25, 1.0, 0.5},
                                {19.0f, 0.0, 2.0, 0.375}};
    for (const Setting& setting : settings) {
        Volume v;
        v.allocate(1, 1, 1, 1);
        fill_volume(v, [&](int, int, int, int) { return setting.value; });
        renderer.volume = &v;
        renderer.value_mean = 20.0;
        renderer.value_std_dev = 4.0;
        renderer.opacity_offset = setting.offset;
        renderer.opacity_scale = setting.scale;
        for (bool immediate : {true, false}) {
            renderer.drawing = immediate ? SplatDrawing::immediate : SplatDrawing::arrays;
            const auto prims = capture();
            ASSERT_EQ(prims.size(), 6u);
            float alpha = 0;
            for (const FeedbackPrimitive& p : prims)
                for (const FeedbackVertex& q : p.vertices) {
                    EXPECT_FLOAT_EQ(q.r, static_cast<float>(setting.level));
                    EXPECT_FLOAT_EQ(q.g, static_cast<float>(setting.level));
                    EXPECT_FLOAT_EQ(q.b, static_cast<float>(1.0 - setting.level));
                    alpha = std::max(alpha, q.a);
                }
            EXPECT_FLOAT_EQ(alpha, 0.046875f) << "value " << setting.value;
        }
    }
}

TEST_F(SplatScene, quads_face_the_viewer_and_have_the_step_size) {
    Volume v;
    make_colour_volume(v, 1, 1, 1);
    renderer.volume = &v;
    renderer.mode = 0;
    renderer.step_y = renderer.step_z = 2; // 2 x 2 on screen (side is y, up is z)
    controller.camera.set_distance(10);    // looking along -x; screen-right +y, up +z
    const auto prims = capture();
    std::vector<float> xs, ys;
    for (const FeedbackPrimitive& p : prims)
        for (const FeedbackVertex& q : p.vertices) {
            xs.push_back(q.x);
            ys.push_back(q.y);
        }
    ASSERT_FALSE(xs.empty());
    const auto [x0, x1] = std::minmax_element(xs.begin(), xs.end());
    const auto [y0, y1] = std::minmax_element(ys.begin(), ys.end());
    for (float x : xs)
        EXPECT_TRUE(std::fabs(x - *x0) < 1e-3 || std::fabs(x - *x1) < 1e-3);
    for (float y : ys)
        EXPECT_TRUE(std::fabs(y - *y0) < 1e-3 || std::fabs(y - *y1) < 1e-3);
    // Square on screen, centred on the point's projection (y = -0.5 maps left of centre).
    EXPECT_NEAR(*x1 - *x0, *y1 - *y0, 1e-2);
    EXPECT_LT((*x0 + *x1) / 2, 100.0f);
    EXPECT_LT((*y0 + *y1) / 2, 100.0f);
}

// A stretched grid is walked in the order an unstretched one is from the eye's position in
// grid coordinates (the eye cell found there), so it stays back to front from any eye.
TEST_F(SplatScene, stretched_grid_is_ordered_from_the_eye_in_grid_coordinates) {
    RecordingVolume v;
    make_colour_volume(v, 6, 5, 4);
    renderer.volume = &v;
    const Vec3 scale{1.0, 2.0, 7.0};
    for (int turn = 0; turn < 8; ++turn) {
        Camera stretched;
        stretched.eye_offset.x = 3.0 + 4.0 * turn;
        stretched.rotate_left(Mat3::axis_rotation(1, 0.7 * turn));
        stretched.rotate_right(Mat3::axis_rotation(2, 1.1 * turn));
        const Vec3 eye = stretched.eye();
        // The same eye axis, looking from where the eye sits in the unstretched grid.
        Camera plain = stretched;
        plain.target = Vec3{eye.x / scale.x, eye.y / scale.y, eye.z / scale.z}.sub(
            stretched.to_world(stretched.eye_offset));
        std::vector<Visit> order[2];
        for (int i = 0; i < 2; ++i) {
            controller.camera = i == 0 ? stretched : plain;
            renderer.axis_scale = i == 0 ? scale : Vec3{1.0, 1.0, 1.0};
            v.visits.clear();
            view.repaint();
            order[i] = v.visits;
        }
        EXPECT_EQ(order[0].size(), 120u);
        EXPECT_EQ(order[0], order[1]) << "turn " << turn;
    }
}
