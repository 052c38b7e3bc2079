#include "curve_fixtures.h"
#include "gl_feedback.h"
#include "headless_view.h"
#include "transfer_function.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A curve panel of the dialog's proportions, drawn headlessly: the curve is its draw list and
// its projection record is filled at each frame.
class CurvePanel : public ::testing::Test {
protected:
    static constexpr int width = 276, height = 124;

    void SetUp() override {
        ASSERT_TRUE(view.open(width, height)) << view.error();
        f.vertical_scale = 0.7;
        f.colour = {0.25, 0.5, 1.0};
        view.draw_list = {&f};
        view.projection_enabled = true;
        view.refresh_projection = true;
        view.projection_camera = f.pick_snapshot();
        f.projection = &view.projection;
    }

    // The curve's vertices in window coordinates, in order.
    std::vector<FeedbackVertex> vertices() {
        std::vector<FeedbackPrimitive> prims;
        EXPECT_TRUE(capture_feedback([&] { view.draw_frame(width, height); }, 1 << 16, prims));
        std::vector<FeedbackVertex> out;
        for (const FeedbackPrimitive& p : prims) {
            EXPECT_TRUE(p.token == GL_LINE_TOKEN || p.token == GL_LINE_RESET_TOKEN);
            EXPECT_EQ(p.vertices.size(), 2u);
            if (out.empty())
                out.push_back(p.vertices[0]);
            out.push_back(p.vertices[1]);
        }
        return out;
    }

    // Window position of the world point (0, wy, wz) seen from the panel's camera.
    double window_x(double wy) const {
        const double half = 150.0 * std::tan(M_PI / 8) * width / double(height);
        return width * 0.5 * (1.0 + wy / half);
    }
    double window_y(double wz) const {
        return height * 0.5 * (1.0 + wz / (150.0 * std::tan(M_PI / 8)));
    }

    HeadlessView view;
    TransferFunction f;
};

} // namespace

TEST_F(CurvePanel, new_curve_is_a_flat_line_of_21_vertices) {
    const std::vector<FeedbackVertex> v = vertices();
    ASSERT_EQ(v.size(), 21u);
    for (std::size_t i = 0; i < v.size(); ++i) {
        // The origin's vertex, then t = 0, 0.05, ..., 0.95; the first two coincide.
        const double t = i == 0 ? 0.0 : (i - 1) * 0.05;
        EXPECT_NEAR(v[i].x, window_x((t - 0.5) * 150.0), 1e-3) << i;
        EXPECT_NEAR(v[i].y, window_y(-0.5 * 0.7 * 150.0), 1e-3) << i;
        EXPECT_FLOAT_EQ(v[i].r, 0.25f);
        EXPECT_FLOAT_EQ(v[i].g, 0.5f);
        EXPECT_FLOAT_EQ(v[i].b, 1.0f);
    }
    EXPECT_TRUE(f.segments_built);
}

TEST_F(CurvePanel, curve_passes_through_its_points) {
    f.insert(0.5, 1.0);
    const std::vector<FeedbackVertex> v = vertices();
    ASSERT_EQ(v.size(), 41u);
    // Segment 0 reaches t = 0.475 at its last vertex; segment 1 resumes at 0.5, the peak.
    EXPECT_NEAR(v[21].x, window_x(0.0), 1e-3);
    EXPECT_NEAR(v[21].y, window_y(0.5 * 0.7 * 150.0), 1e-3);
}

TEST_F(CurvePanel, draw_leaves_its_camera_for_picking) {
    f.camera.add_distance(10.0);
    vertices();
    EXPECT_EQ(f.pick_camera.distance(), 160.0);
}

// A first point dragged below 0 draws nothing for its segment; the rest resumes at t = 0. A
// point a hair beyond the running t ends its segment after one vertex instead of looping.
TEST_F(CurvePanel, segments_behind_the_running_t_draw_nothing) {
    f.insert(0.4, 0.5);
    f.insert(0.4, 0.8); // a zero-width segment between the two
    f.insert(0.2, 0.3);
    f.x[0] = -0.1;
    f.segments_built = false;
    std::vector<FeedbackVertex> v = vertices();
    EXPECT_EQ(v.size(), 1u + 20u + 20u);
    for (const FeedbackVertex& p : v) {
        EXPECT_GE(p.x, window_x(-75.0) - 1e-3);
        EXPECT_TRUE(std::isfinite(p.y));
    }

    f.x[1] = 5e-324; // the smallest denormal: its step rounds to nothing
    f.segments_built = false;
    v = vertices();
    EXPECT_EQ(v.size(), 1u + 1u + 20u + 20u);
}

// The whole road: paint, then a mouse press over the panel lands under the cursor.
TEST_F(CurvePanel, mouse_over_a_painted_panel_edits_the_curve) {
    EXPECT_FALSE(f.on_mouse(1, 0.5, 0.5)); // before the first paint: ignored
    EXPECT_EQ(f.count, 1);
    vertices();
    ASSERT_NE(view.projection.camera, nullptr);
    f.on_mouse(1, 0.5, 0.5);
    ASSERT_EQ(f.count, 2);
    EXPECT_NEAR(f.x[0], 0.5, 1e-12);
    EXPECT_NEAR(f.y[0], 0.5, 1e-12);
}

// Points 1e-6 and 1e-7 apart: every vertex, the narrow segment's own included, lies on the
// exact ease through the points (read in the absolute x, the narrow segment drew values in the
// thousands). The vertices sit where the running t puts them: 20 steps per segment, resuming
// from where the previous segment left t.
TEST_F(CurvePanel, narrow_segments_draw_on_the_exact_curve) {
    for (double gap : {1e-6, 1e-7}) {
        f = built_curve({{0.3, 0.1}, {0.5, 0.2}, {0.5 + gap, 0.9}});
        f.vertical_scale = 0.7;
        ASSERT_TRUE(f.segments[2].narrow);
        std::vector<double> ts;
        double t = 0.0;
        for (int i = 0; i < f.count; ++i)
            for (const double step = (f.x[i] - t) * 0.05; t < f.x[i]; t += step)
                ts.push_back(t);
        const std::vector<FeedbackVertex> v = vertices();
        ASSERT_EQ(v.size(), 1 + ts.size()) << gap;
        int in_narrow = 0;
        for (std::size_t i = 0; i < ts.size(); ++i) {
            const double value = static_cast<double>(exact_ease(f, ts[i]));
            // 1e-3 of value is about 0.1 pixel here.
            EXPECT_NEAR(v[1 + i].y, window_y((value - 0.5) * 0.7 * 150.0),
                        window_y(1e-3 * 0.7 * 150.0) - window_y(0.0))
                << "gap " << gap << " t " << ts[i];
            in_narrow += ts[i] > 0.5 && ts[i] < 0.5 + gap;
        }
        EXPECT_GE(in_narrow, 10) << gap;
    }
}
