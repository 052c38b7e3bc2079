#include "CGLView.h"
#include "headless_view.h"
#include "render_fixtures.h"
#include "splat_renderer.h"
#include "view_controller.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSurfaceFormat>
#include <QTest>

#include <functional>
#include <vector>

namespace {

class Counter : public Drawable {
public:
    void draw() override {
        ++draws;
        if (paint)
            paint();
    }
    int draws = 0;
    std::function<void()> paint;
};

class Recorder : public MouseListener {
public:
    struct Event {
        int flags;
        double x, y;
        int draws_before; // frames drawn when the listener ran
    };
    bool on_mouse(int flags, double x, double y) override {
        events.push_back({flags, x, y, counter ? counter->draws : -1});
        return false;
    }
    std::vector<Event> events;
    const Counter* counter = nullptr;
};

// A top-level view of the given client size, shown and exposed.
class ShownView {
public:
    ShownView(int w, int h) {
        view.resize(w, h);
        view.show();
        exposed = QTest::qWaitForWindowExposed(&view);
    }
    void move_mouse(QPoint p, Qt::MouseButtons buttons = Qt::NoButton,
                    Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), view.mapToGlobal(QPointF(p)), Qt::NoButton,
                      buttons, mods);
        QApplication::sendEvent(&view, &e);
    }
    CGLView view;
    bool exposed = false;
};

} // namespace

TEST(CGLView, projection_record_for_276_by_124) {
    ShownView s(276, 124);
    ASSERT_TRUE(s.exposed);
    Camera cam;
    s.view.projection_enabled = true;
    s.view.repaint();
    EXPECT_TRUE(s.view.context_ok);
    EXPECT_EQ(s.view.projection.camera, nullptr); // refresh_projection still off
    EXPECT_EQ(s.view.projection.near, 0.0);

    s.view.refresh_projection = true;
    s.view.repaint();
    EXPECT_EQ(s.view.client_rect, QRect(0, 0, 276, 124));
    EXPECT_NEAR(s.view.projection.aspect, 2.2258064516129, 1e-12);
    EXPECT_NEAR(s.view.projection.fov, 0.785398163397448, 1e-14);
    EXPECT_NEAR(s.view.projection.tan_half_fov, 0.414213562373095, 1e-14);
    EXPECT_EQ(s.view.projection.near, 3.0);
    EXPECT_EQ(s.view.projection.camera, nullptr);

    s.view.projection_camera = &cam;
    s.view.repaint();
    EXPECT_EQ(s.view.projection.camera, &cam);
}

TEST(CGLView, empty_draw_list_shows_black_and_drawables_draw) {
    ShownView s(64, 48);
    ASSERT_TRUE(s.exposed);
    QImage image = s.view.grabFramebuffer();
    ASSERT_EQ(image.size(), QSize(64, 48));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixel(x, y) & 0xffffff, 0u) << x << "," << y;

    Counter square;
    square.paint = [] {
        glTranslated(0, 0, -10);
        glColor3d(1, 0, 0);
        glBegin(GL_QUADS);
        glVertex3f(-1, -1, 0);
        glVertex3f(1, -1, 0);
        glVertex3f(1, 1, 0);
        glVertex3f(-1, 1, 0);
        glEnd();
    };
    s.view.draw_list = {&square};
    image = s.view.grabFramebuffer();
    EXPECT_EQ(image.pixel(32, 24) & 0xffffff, 0xff0000u);
    EXPECT_EQ(image.pixel(2, 2) & 0xffffff, 0u);

    // A synchronous repaint's frame is the one shown, and the next frame replaces all of it.
    s.view.draw_list.clear();
    s.view.repaint();
    EXPECT_EQ(s.view.grabFramebuffer().pixel(32, 24) & 0xffffff, 0u);
    s.view.draw_list = {&square};
    s.view.repaint();
    const int drawn = square.draws;
    EXPECT_EQ(s.view.grabFramebuffer().pixel(32, 24) & 0xffffff, 0xff0000u);
    EXPECT_EQ(square.draws, drawn); // composing it drew nothing again
}

TEST(CGLView, mouse_moves_reach_the_listener_in_window_fractions_before_the_frame) {
    ShownView s(200, 100);
    ASSERT_TRUE(s.exposed);
    Counter counter;
    Recorder listener;
    listener.counter = &counter;
    s.view.draw_list = {&counter};
    s.view.mouse_listener = &listener;
    EXPECT_TRUE(s.view.hasMouseTracking());

    const int before = counter.draws;
    s.move_mouse({50, 25});
    ASSERT_EQ(listener.events.size(), 1u);
    EXPECT_EQ(listener.events[0].flags, 0);
    EXPECT_DOUBLE_EQ(listener.events[0].x, 0.25);
    EXPECT_DOUBLE_EQ(listener.events[0].y, 0.25);
    EXPECT_EQ(listener.events[0].draws_before, before);
    EXPECT_EQ(counter.draws, before + 1); // repainted at once, after the listener

    s.move_mouse({200, 100}, Qt::LeftButton | Qt::RightButton,
                 Qt::ShiftModifier | Qt::ControlModifier);
    ASSERT_EQ(listener.events.size(), 2u);
    EXPECT_EQ(listener.events[1].flags, 1 | 2 | 4 | 8);
    EXPECT_DOUBLE_EQ(listener.events[1].x, 1.0);
    EXPECT_DOUBLE_EQ(listener.events[1].y, 1.0);

    s.move_mouse({10, 10}, Qt::MiddleButton);
    EXPECT_EQ(listener.events.back().flags, 0x10);

    // Outside the window (a drag that left it): no listener call, but still a frame.
    const int drawn = counter.draws;
    s.move_mouse({250, 50}, Qt::LeftButton);
    s.move_mouse({-3, 50}, Qt::LeftButton);
    EXPECT_EQ(listener.events.size(), 3u);
    EXPECT_EQ(counter.draws, drawn + 2);
}

TEST(CGLView, view_without_listener_still_repaints_on_every_move) {
    ShownView s(40, 40);
    ASSERT_TRUE(s.exposed);
    Counter counter;
    s.view.draw_list = {&counter};
    const int before = counter.draws;
    s.move_mouse({5, 5});
    s.move_mouse({6, 5});
    EXPECT_EQ(counter.draws, before + 2);
}

TEST(CGLView, zero_size_window_ignores_mouse_and_draws_nothing) {
    QWidget parent;
    parent.resize(100, 100);
    CGLView view(&parent);
    view.setGeometry(0, 0, 100, 0);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    Counter counter;
    Recorder listener;
    view.draw_list = {&counter};
    view.mouse_listener = &listener;
    view.projection_enabled = true;
    view.refresh_projection = true;
    QMouseEvent e(QEvent::MouseMove, QPointF(0, 0), QPointF(0, 0), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(&view, &e);
    EXPECT_TRUE(listener.events.empty());
    EXPECT_EQ(counter.draws, 0);
    view.OnPaint(); // even a direct frame leaves the record alone
    EXPECT_EQ(counter.draws, 0);
    EXPECT_EQ(view.projection.near, 0.0);
}

// Under fractional display scaling (run once more with QT_SCALE_FACTOR=1.5) the frame covers
// the framebuffer Qt made, to its last column and row, and the aspect is the framebuffer's.
TEST(CGLView, frame_covers_the_whole_framebuffer) {
    ShownView s(75, 51);
    ASSERT_TRUE(s.exposed);
    Counter fill;
    fill.paint = [] {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_DEPTH_TEST);
        glColor3d(0, 1, 0);
        glRectd(-1, -1, 1, 1);
    };
    s.view.draw_list = {&fill};
    s.view.projection_enabled = true;
    s.view.refresh_projection = true;
    s.view.repaint();
    const QImage image = s.view.grabFramebuffer();
    EXPECT_EQ(s.view.client_rect.size(), image.size());
    EXPECT_DOUBLE_EQ(s.view.projection.aspect, static_cast<double>(image.width()) / image.height());
    for (const QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1)})
        EXPECT_EQ(image.pixel(corner) & 0xffffff, 0x00ff00u) << corner.x() << "," << corner.y();
}

// The window and the headless view draw through the same frame: the same scene gives the same
// bytes. Qt labels the framebuffer's bytes premultiplied; they are compared as GL wrote them
// (converting the grab would un-premultiply the colours by the blended alpha).
TEST(CGLView, draws_the_bytes_the_headless_view_draws) {
    Volume colour;
    make_colour_volume(colour, 12, 10, 8);
    ViewController controller;
    controller.lighting_enabled = true;
    controller.camera.set_distance(30);
    controller.camera.rotate_left(Mat3::axis_rotation(1, 0.4));
    controller.camera.rotate_right(Mat3::axis_rotation(0, 0.3));
    SplatRenderer renderer;
    renderer.camera = &controller.camera;
    renderer.volume = &colour;
    renderer.step_x = renderer.step_y = renderer.step_z = 1;

    ShownView s(120, 90);
    ASSERT_TRUE(s.exposed);
    s.view.draw_list = {&controller, &renderer};
    s.view.repaint();
    const QImage shown = s.view.grabFramebuffer();
    ASSERT_EQ(shown.size(), QSize(120, 90));

    // A thread can hold a GLX or an EGL context, not both: let Qt's go first.
    s.view.doneCurrent();
    HeadlessView headless;
    ASSERT_TRUE(headless.open(120, 90)) << headless.error();
    const std::vector<unsigned char> drawn = render_pixels(headless, {&controller, &renderer});
    ASSERT_EQ(drawn.size(), 120u * 90u * 4u);

    const QImage bytes = shown.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    int lit = 0, differing = 0;
    for (int y = 0; y < 90; ++y) {
        const uchar* row = bytes.constScanLine(y);
        for (int x = 0; x < 120; ++x)
            for (int c = 0; c < 3; ++c) {
                const unsigned char a = row[x * 4 + c], b = drawn[(y * 120 + x) * 4 + c];
                lit += a != 0;
                differing += a != b;
            }
    }
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(differing, 0);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no window system, so ctest can discover them without a display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
