#include "gl_feedback.h"
#include "headless_view.h"
#include "render_fixtures.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

void get_matrix(GLenum which, double m[16]) {
    glGetDoublev(which, m);
}

void expect_identity(const double m[16]) {
    for (int i = 0; i < 16; ++i)
        EXPECT_DOUBLE_EQ(m[i], i % 5 == 0 ? 1.0 : 0.0) << "entry " << i;
}

// The matrix gluPerspective / gluLookAt builds from the identity.
void reference_matrix(GLenum mode, const std::function<void()>& build, double m[16]) {
    glMatrixMode(mode);
    glPushMatrix();
    glLoadIdentity();
    build();
    glGetDoublev(mode == GL_PROJECTION ? GL_PROJECTION_MATRIX : GL_MODELVIEW_MATRIX, m);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

} // namespace

TEST(HeadlessView, empty_draw_list_shows_black_background) {
    HeadlessView view;
    ASSERT_TRUE(view.open(32, 20)) << view.error();
    ASSERT_TRUE(view.repaint());
    std::vector<unsigned char> pixels;
    ASSERT_TRUE(view.read_pixels(pixels));
    ASSERT_EQ(pixels.size(), 32u * 20u * 4u);
    for (unsigned char p : pixels)
        ASSERT_EQ(p, 0);
}

TEST(HeadlessView, projection_record_for_276_by_124) {
    HeadlessView view;
    ASSERT_TRUE(view.open(276, 124)) << view.error();
    Camera cam;
    view.projection_enabled = true;

    view.repaint(); // refresh_projection is off: the record keeps its initial contents
    EXPECT_EQ(view.projection.camera, nullptr);
    EXPECT_EQ(view.projection.near, 0.0);
    EXPECT_NEAR(view.aspect, 276.0 / 124.0, 1e-15);

    view.refresh_projection = true; // but no camera yet: numbers refreshed, camera null
    view.repaint();
    EXPECT_NEAR(view.projection.aspect, 2.2258064516129, 1e-12);
    EXPECT_NEAR(view.projection.fov, 0.785398163397448, 1e-14);
    EXPECT_NEAR(view.projection.tan_half_fov, 0.414213562373095, 1e-14);
    EXPECT_EQ(view.projection.near, 3.0);
    EXPECT_EQ(view.projection.camera, nullptr);
    PickRay ray;
    EXPECT_FALSE(view.projection.unproject(0, 0, ray));

    view.projection_camera = &cam;
    view.repaint();
    EXPECT_EQ(view.projection.camera, &cam);
}

TEST(HeadlessView, refresh_refused_while_projection_disabled) {
    HeadlessView view;
    ASSERT_TRUE(view.open(20, 10)) << view.error();
    view.refresh_projection = true;
    Camera cam;
    view.projection_camera = &cam;
    view.repaint();
    EXPECT_EQ(view.projection.camera, nullptr);
    EXPECT_EQ(view.projection.aspect, 0.0);
}

TEST(HeadlessView, zero_height_draws_nothing_and_keeps_record) {
    HeadlessView view;
    ASSERT_TRUE(view.open(20, 10)) << view.error();
    view.projection_enabled = true;
    view.refresh_projection = true;
    view.repaint();
    const ViewProjection before = view.projection;
    const double aspect_before = view.aspect;

    int draws = 0;
    Probe probe([&] { ++draws; });
    view.draw_list.push_back(&probe);
    EXPECT_FALSE(view.draw_frame(20, 0));
    EXPECT_EQ(draws, 0);
    EXPECT_EQ(view.aspect, aspect_before);
    EXPECT_EQ(view.projection.aspect, before.aspect);
    EXPECT_EQ(view.projection.near, before.near);
    EXPECT_TRUE(view.draw_frame(20, 10));
    EXPECT_EQ(draws, 1);
}

TEST(HeadlessView, drawables_run_in_order_from_identity_under_perspective) {
    HeadlessView view;
    ASSERT_TRUE(view.open(40, 20)) << view.error();
    std::vector<int> order;
    double perspective[16], projection[16], modelview[16];
    reference_matrix(
        GL_PROJECTION, [] { gluPerspective(45.0, 2.0, 3.0, 1000.0); }, perspective);
    Probe first([&] {
        order.push_back(1);
        get_matrix(GL_PROJECTION_MATRIX, projection);
        get_matrix(GL_MODELVIEW_MATRIX, modelview);
    });
    Probe second([&] { order.push_back(2); });
    view.draw_list = {&first, &second};
    view.repaint();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    expect_identity(modelview);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(projection[i], perspective[i], 1e-12);
}

TEST(HeadlessView, no_state_survives_a_frame) {
    HeadlessView view;
    ASSERT_TRUE(view.open(16, 16)) << view.error();
    Probe messy([] {
        glEnable(GL_LIGHTING);
        glEnable(GL_BLEND);
        glClearColor(1, 1, 1, 1);
        glColor4f(0.5f, 0.25f, 0.125f, 1.0f);
        glMatrixMode(GL_PROJECTION);
        glTranslated(1, 2, 3);
        glMatrixMode(GL_MODELVIEW);
        glTranslated(4, 5, 6);
    });
    view.draw_list = {&messy};
    view.repaint();
    view.repaint(); // the second frame must see what the first saw

    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    GLfloat clear[4], colour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(colour[0], 1.0f);
    GLint mode = 0, depth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    double m[16];
    get_matrix(GL_PROJECTION_MATRIX, m);
    expect_identity(m);
    get_matrix(GL_MODELVIEW_MATRIX, m);
    expect_identity(m);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Camera, look_at_matches_glu_for_default_camera) {
    HeadlessView view;
    ASSERT_TRUE(view.open(8, 8)) << view.error();
    double expected[16], actual[16];
    reference_matrix(
        GL_MODELVIEW, [] { gluLookAt(-100, 0, 0, 0, 0, 0, 0, 0, 1); }, expected);
    const Camera cam;
    reference_matrix(
        GL_MODELVIEW, [&] { cam.look_at(); }, actual);
    for (int i = 0; i < 16; ++i)
        EXPECT_DOUBLE_EQ(actual[i], expected[i]);
}

TEST(Feedback, captures_a_triangle_in_window_coordinates) {
    HeadlessView view;
    ASSERT_TRUE(view.open(100, 100)) << view.error();
    Probe tri([] {
        glTranslated(0, 0, -10);
        glColor4f(1, 0, 0, 1);
        glBegin(GL_TRIANGLES);
        glVertex3f(0, 0, 0);
        glVertex3f(1, 0, 0);
        glVertex3f(0, 1, 0);
        glEnd();
    });
    view.draw_list = {&tri};
    std::vector<FeedbackPrimitive> prims;
    ASSERT_TRUE(view.make_current());
    ASSERT_TRUE(capture_feedback([&] { view.draw_frame(100, 100); }, 1024, prims));
    ASSERT_EQ(prims.size(), 1u);
    ASSERT_EQ(prims[0].vertices.size(), 3u);
    EXPECT_NEAR(prims[0].vertices[0].x, 50.0f, 1e-3);
    EXPECT_NEAR(prims[0].vertices[0].y, 50.0f, 1e-3);
    EXPECT_GT(prims[0].vertices[1].x, 50.0f);
    EXPECT_EQ(prims[0].vertices[2].r, 1.0f);
    EXPECT_EQ(prims[0].vertices[2].g, 0.0f);
}
