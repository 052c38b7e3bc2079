// The main view's level of detail: which steps a frame gets, the opacity correction of coarse
// splats, and what a view counts as its frame's inputs.
#include "interactive_detail.h"
#include "render_fixtures.h"
#include "splat_renderer.h"
#include "splat_shading.h"
#include "view_controller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

// A view frame without a window, for its inputs.
class BareView : public ViewFrame {};

// The mean colour byte of a frame, and the mean absolute difference of two frames.
double mean_level(const std::vector<unsigned char>& a) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); i += 4)
        sum += a[i] + a[i + 1] + a[i + 2];
    return sum / (0.75 * static_cast<double>(a.size()));
}

double mean_difference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            sum += std::abs(int(a[i + c]) - int(b[i + c]));
    return sum / (0.75 * static_cast<double>(a.size()));
}

} // namespace

TEST(InteractiveDetail, coarse_only_while_interacting_over_budget_and_back_exactly) {
    SplatRenderer renderer;
    renderer.step_x = renderer.step_y = renderer.step_z = 1;
    InteractiveDetail detail(&renderer);
    detail.budget_seconds = 0.1;

    detail.before_frame(true); // no frame time known: full detail
    EXPECT_EQ(detail.level(), 0);
    detail.after_frame(0.05); // a full frame within budget
    detail.before_frame(true);
    EXPECT_EQ(detail.level(), 0);
    EXPECT_EQ(renderer.step_x, 1);

    detail.after_frame(2.0); // a full frame of 2 s
    detail.before_frame(true);
    const int level = detail.level();
    ASSERT_GT(level, 0);
    EXPECT_LE(detail.estimate(level), 0.075);     // fits what the frame may take ...
    EXPECT_GT(detail.estimate(level - 1), 0.075); // ... and the next finer level does not
    // The level reaches the renderer as the frame's detail; the owner's steps stay.
    EXPECT_TRUE(renderer.detail == InteractiveDetail::factors[level]);
    EXPECT_TRUE(renderer.coarse());
    EXPECT_EQ(renderer.step_x + renderer.step_y + renderer.step_z, 3);
    EXPECT_FALSE(renderer.step_opacity_correction);

    // A coarse frame slower than planned moves the next one coarser.
    detail.after_frame(0.3);
    detail.before_frame(true);
    EXPECT_GT(detail.level(), level);

    // The classification of a realtime edit takes from the frame's budget.
    const int coarse = detail.level();
    detail.spent_seconds = 0.06;
    detail.before_frame(true);
    EXPECT_GE(detail.level(), coarse);

    detail.before_frame(false); // the button is released: the owner's settings, as they were
    EXPECT_EQ(detail.level(), 0);
    EXPECT_FALSE(renderer.coarse());
    EXPECT_EQ(renderer.step_x + renderer.step_y + renderer.step_z, 3);
    EXPECT_FALSE(renderer.step_opacity_correction);

    // The owner's own steps are the full level; coarse levels multiply them.
    renderer.step_x = 2;
    detail.before_frame(true);
    EXPECT_TRUE(renderer.coarse());
    EXPECT_EQ(renderer.step_x, 2);
    detail.set_enabled(false); // switched off: the owner's steps at once
    detail.before_frame(true);
    EXPECT_EQ(detail.level(), 0);
    EXPECT_FALSE(renderer.coarse());
    EXPECT_EQ(renderer.step_x, 2);
    EXPECT_EQ(renderer.step_y, 1);
}

TEST(InteractiveDetail, layers_follow_the_eye_axis_through_the_coarse_lattice) {
    EXPECT_EQ(splat_layers({1, 0, 0}, 1, 1, 1), 1.0);
    EXPECT_DOUBLE_EQ(splat_layers({1, 0, 0}, 2, 1, 1), 2.0);
    EXPECT_DOUBLE_EQ(splat_layers({0, -1, 0}, 2, 1, 1), 1.0); // across the coarse axis
    EXPECT_DOUBLE_EQ(splat_layers({0.6, 0.0, -0.8}, 3, 3, 3), 3.0);
    EXPECT_DOUBLE_EQ(splat_layers({0, 0, 0}, 2, 2, 2), 2.0);
    EXPECT_FLOAT_EQ(layered_opacity(0.5f, 2.0), 0.75f);
    EXPECT_EQ(layered_opacity(1.475f, 3.0), 1.475f); // missing points stay as they are
    EXPECT_EQ(layered_opacity(0.0f, 3.0), 0.0f);
}

// A coarse frame of a smooth, half-transparent volume keeps the full frame's brightness with
// the opacity correction, and loses much of it without; with all steps 1 the correction
// changes no pixel.
TEST(InteractiveDetail, corrected_coarse_frame_keeps_the_full_frames_brightness) {
    HeadlessView view;
    ASSERT_TRUE(view.open(160, 120)) << view.error();
    Volume colour;
    colour.allocate(32, 32, 32, 4);
    colour.rgba = true;
    fill_volume(colour, [](int x, int y, int z, int c) {
        const double r =
            std::sqrt((x - 16.0) * (x - 16.0) + (y - 16.0) * (y - 16.0) + (z - 16.0) * (z - 16.0));
        return static_cast<float>(c == 3 ? 0.08 * std::exp(-r / 12.0) : 0.3 + 0.02 * (x + c));
    });
    ViewController controller;
    controller.lighting_enabled = true;
    controller.camera.set_distance(70);
    controller.camera.rotate_left(Mat3::axis_rotation(1, 0.4));
    controller.camera.rotate_right(Mat3::axis_rotation(0, 0.3));
    SplatRenderer renderer;
    renderer.camera = &controller.camera;
    renderer.volume = &colour;
    renderer.step_x = renderer.step_y = renderer.step_z = 1;
    const std::vector<Drawable*> list = {&controller, &renderer};

    const std::vector<unsigned char> full = render_pixels(view, list);
    renderer.step_opacity_correction = true;
    EXPECT_EQ(render_pixels(view, list), full);

    renderer.step_x = renderer.step_y = renderer.step_z = 3;
    const std::vector<unsigned char> corrected = render_pixels(view, list);
    renderer.step_opacity_correction = false;
    const std::vector<unsigned char> plain = render_pixels(view, list);
    const double level = mean_level(full);
    ASSERT_GT(level, 10.0);
    EXPECT_LT(mean_difference(corrected, full), 0.3 * level);
    EXPECT_LT(mean_difference(corrected, full), 0.5 * mean_difference(plain, full));

    // The frame policy's detail draws that same corrected frame from the owner's steps of 1.
    renderer.step_x = renderer.step_y = renderer.step_z = 1;
    renderer.detail = {3, 3, 3};
    EXPECT_EQ(render_pixels(view, list), corrected);
}

// Whatever a drawable draws from is part of its view's frame inputs; a drawable that cannot
// name its inputs makes every frame a new one, and invalidate() marks the next one new.
TEST(FrameInputs, name_everything_the_picture_depends_on) {
    Volume colour;
    make_colour_volume(colour, 4, 3, 2);
    ViewController controller;
    SplatRenderer renderer;
    renderer.camera = &controller.camera;
    renderer.volume = &colour;
    BareView view;
    view.draw_list = {&controller, &renderer};

    FrameInputs before, after;
    ASSERT_TRUE(view.collect_frame_inputs(before, 100, 80));
    ASSERT_TRUE(view.collect_frame_inputs(after, 100, 80));
    EXPECT_TRUE(before == after);
    const auto changes = [&](const char* what, const std::function<void()>& change) {
        change();
        view.collect_frame_inputs(after, 100, 80);
        EXPECT_FALSE(before == after) << what;
        view.collect_frame_inputs(before, 100, 80);
    };
    changes("camera", [&] { controller.camera.add_distance(1.0); });
    changes("orientation", [&] { controller.camera.rotate_left(Mat3::axis_rotation(2, 0.01)); });
    changes("lighting", [&] { controller.lighting_enabled = !controller.lighting_enabled; });
    changes("step", [&] { renderer.step_y = 2; });
    changes("correction", [&] { renderer.step_opacity_correction = true; });
    changes("detail", [&] { renderer.detail = {2, 1, 1}; });
    changes("mode", [&] { renderer.mode = 0; });
    changes("extents", [&] { colour.allocate(4, 3, 3, 4); });
    changes("revision", [&] { view.invalidate(); });
    changes("list", [&] { view.draw_list.pop_back(); });
    view.collect_frame_inputs(after, 100, 81);
    EXPECT_FALSE(before == after) << "size";

    Probe unknown([] {});
    view.draw_list.push_back(&unknown);
    EXPECT_FALSE(view.collect_frame_inputs(after, 100, 80));
}

// Playback plans a level for its work and its frame together, and holds one frame at it.
TEST(InteractiveDetail, plan_counts_the_work_before_the_frame_and_a_pin_holds_one_frame) {
    SplatRenderer renderer;
    InteractiveDetail detail(&renderer);
    detail.budget_seconds = 0.1;
    double none[InteractiveDetail::levels] = {};
    EXPECT_EQ(detail.plan(none), 0); // no frame time known: full detail
    detail.after_frame(2.0);         // a full frame of 2 s
    const int alone = detail.plan(none);
    ASSERT_GT(alone, 0);
    EXPECT_LE(detail.estimate(alone), 0.075);
    // Work before the frame that shrinks with the level moves the plan coarser.
    double work[InteractiveDetail::levels];
    for (int level = 0; level < InteractiveDetail::levels; ++level)
        work[level] = 0.05 * detail.estimate(level) / detail.estimate(0) * 40.0;
    const int planned = detail.plan(work);
    EXPECT_GT(planned, alone);
    EXPECT_LE(detail.estimate(planned) + work[planned], 0.075);

    detail.pin_next(2);
    detail.spent_seconds = 5.0; // whatever the budget says
    detail.before_frame(true);
    EXPECT_EQ(detail.level(), 2);
    EXPECT_TRUE(renderer.detail == InteractiveDetail::factors[2]);
    detail.before_frame(true); // the pin is gone
    EXPECT_NE(detail.level(), 2);
    detail.pin_next(3);
    detail.before_frame(false); // a frame that is not interactive drops it
    EXPECT_EQ(detail.level(), 0);
    detail.before_frame(true);
    EXPECT_NE(detail.level(), 3);
    detail.set_enabled(false);
    EXPECT_EQ(detail.plan(work), 0);
}

// Holding the coarse level: a frame that is not interactive keeps the level of the one before.
TEST(InteractiveDetail, held_level_survives_frames_that_are_not_interactive) {
    SplatRenderer renderer;
    InteractiveDetail detail(&renderer);
    detail.after_frame(2.0);
    detail.pin_next(5);
    detail.before_frame(true);
    detail.hold_coarse = true;
    detail.before_frame(false);
    EXPECT_EQ(detail.level(), 5);
    detail.hold_coarse = false;
    detail.before_frame(false);
    EXPECT_EQ(detail.level(), 0);
}
