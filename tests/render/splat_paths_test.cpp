#include "sample_splat_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

// The vertex-array path must draw exactly the picture of the immediate-mode reference.
class SplatPaths : public SampleSplatFixture {
protected:
    void expect_same_pictures() {
        renderer.drawing = SplatDrawing::immediate;
        const auto reference = render_pixels(view, {&controller, &renderer});
        const auto reference_splats = renderer.last_stats.splats;
        renderer.drawing = SplatDrawing::arrays;
        const auto fast = render_pixels(view, {&controller, &renderer});
        ASSERT_EQ(reference.size(), 306u * 188u * 4u);
        ASSERT_EQ(fast.size(), reference.size());
        EXPECT_EQ(renderer.last_stats.splats, reference_splats);
        std::size_t lit = 0, differing = 0;
        for (std::size_t i = 0; i < fast.size(); ++i) {
            lit += reference[i] != 0;
            differing += reference[i] != fast[i];
        }
        EXPECT_GT(lit, fast.size() / 20); // the picture is not empty
        EXPECT_EQ(differing, 0u);
    }
};

TEST_F(SplatPaths, colour_volume_fans) {
    renderer.volume = &colour;
    renderer.mode = 1;
    expect_same_pictures();
}

TEST_F(SplatPaths, colour_volume_quads) {
    renderer.volume = &colour;
    renderer.mode = 0;
    expect_same_pictures();
}

TEST_F(SplatPaths, scalar_fans) {
    renderer.volume = &data;
    renderer.value_mean = data.mean_value();
    renderer.value_std_dev = data.std_dev();
    renderer.mode = 1;
    expect_same_pictures();
}

TEST_F(SplatPaths, scalar_quads_with_steps_of_two) {
    renderer.volume = &data;
    renderer.value_mean = data.mean_value();
    renderer.value_std_dev = data.std_dev();
    renderer.opacity_offset = -0.5;
    renderer.opacity_scale = 3.0;
    renderer.mode = 0;
    renderer.step_x = renderer.step_y = renderer.step_z = 2;
    expect_same_pictures();
}

TEST_F(SplatPaths, component_left_selected_as_immediate_mode_leaves_it) {
    renderer.volume = &colour;
    for (bool immediate : {true, false}) {
        colour.select_component(1);
        renderer.drawing = immediate ? SplatDrawing::immediate : SplatDrawing::arrays;
        render_pixels(view, {&controller, &renderer});
        EXPECT_EQ(colour.component, 3);
    }
    Volume empty;
    empty.allocate(0, 0, 0, 4);
    empty.rgba = true;
    empty.select_component(2);
    renderer.volume = &empty;
    render_pixels(view, {&controller, &renderer});
    EXPECT_EQ(empty.component, 2);
}

// Fans that do not write depth leave out the grid points that show nothing, and the picture
// is the one with every point drawn, on both paths.
// Quads and fans that write depth draw them: their depth hides what lies behind.
TEST_F(SplatPaths, transparent_fans_are_left_out_with_the_same_pictures) {
    Volume holes;
    holes.allocate(colour.nx, colour.ny, colour.nz, 4);
    holes.rgba = true;
    std::copy(colour.samples, colour.samples + colour.sample_count(), holes.samples);
    std::int64_t hidden = 0;
    for (std::int64_t i = 0; i < holes.sample_count() / 4; ++i)
        if (i % 3 == 0 || (i / holes.nx) % 7 < 2) { // scattered points and whole rows
            holes.samples[4 * i + 3] = 0.0f;
            ++hidden;
        }
    renderer.volume = &holes;
    for (SplatDrawing way : {SplatDrawing::immediate, SplatDrawing::arrays}) {
        renderer.drawing = way;
        renderer.skip_transparent = false;
        const auto all = render_pixels(view, {&controller, &renderer});
        EXPECT_EQ(renderer.last_stats.skipped, 0);
        renderer.skip_transparent = true;
        const auto left_out = render_pixels(view, {&controller, &renderer});
        EXPECT_EQ(renderer.last_stats.skipped, hidden);
        EXPECT_TRUE(left_out == all) << splat_drawing_name(way);
    }
    renderer.mode = 0;
    render_pixels(view, {&controller, &renderer});
    EXPECT_EQ(renderer.last_stats.skipped, 0);
    renderer.mode = 1;
    renderer.fan_depth_writes = true;
    render_pixels(view, {&controller, &renderer});
    EXPECT_EQ(renderer.last_stats.skipped, 0);
}
