// Playback through the components classifies only the grid points its coarse frames draw:
// those frames are the pixels a whole classification gives, and any frame or probe that needs
// the rest of the grid gets it classified first.
#include "headless_view.h"
#include "scene.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int nx = 48, ny = 40, nz = 24, components = 6;
constexpr int width = 160, height = 120;

// A smooth field whose values rise and fall through the components, with a missing block.
void fill_field(Scene& scene) {
    ASSERT_TRUE(scene.data_volume.allocate(nx, ny, nz, components));
    ASSERT_TRUE(scene.colour_volume.allocate(nx, ny, nz, 4));
    scene.data_volume.valid = true;
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                for (int c = 0; c < components; ++c) {
                    const bool land = x > 10 && x < 20 && y > 5 && y < 30;
                    scene.data_volume.samples[scene.data_volume.flat_index(x, y, z, c)] =
                        land ? -9999.0f
                             : static_cast<float>(40.0 + 30.0 * std::sin(0.13 * x + 0.2 * y) - z +
                                                  15.0 * std::cos(1.1 * c + 0.05 * x));
                }
    scene.data_replaced();
}

std::vector<float> colours(const Scene& scene) {
    const Volume& v = scene.colour_volume;
    return {v.samples, v.samples + v.sample_count()};
}

} // namespace

TEST(Playback, coarse_steps_draw_what_a_whole_classification_draws_and_the_rest_follows) {
    Scene scene;
    fill_field(scene);
    PresetChoice choice;
    std::string error;
    ASSERT_TRUE(parse_preset_choice("temperature,tent", choice, error)) << error;
    scene.apply_preset(choice);
    scene.low_end = -10.0;
    scene.range = 100.0;
    HeadlessView view;
    ASSERT_TRUE(view.open(width, height)) << view.error();
    scene.attach_main_view(view);
    const double aspect = double(width) / height;
    ASSERT_TRUE(scene.fit_view(aspect));
    scene.place_camera(std::nullopt, -0.4, 0.7);

    // Coarse frames through the arrays, so that frames of the same colours compare exactly
    // (the shaders would take over from the second one).
    scene.splat_renderer.coarse_drawing = SplatDrawing::arrays;
    // Frames are timed as if a full one took 2 s and a coarse one 10 ms, so the levels do not
    // depend on this machine.
    InteractiveDetail& detail = scene.interactive_detail;
    const auto frame = [&](bool interacting) {
        detail.before_frame(interacting);
        std::vector<unsigned char> rgba;
        EXPECT_TRUE(view.repaint() && view.read_pixels(rgba));
        detail.after_frame(detail.level() == 0 ? 2.0 : 0.01);
        return rgba;
    };
    ASSERT_TRUE(scene.classify_all());
    frame(false);

    for (const int w : {2, 3}) {
        // The first step of a width classifies the whole window and measures it.
        ASSERT_TRUE(scene.set_component_window(0, w - 1));
        ASSERT_TRUE(scene.classify_playback_step());
        EXPECT_TRUE(scene.colours_complete());
        frame(true);

        // Later steps: only the coarse frame's points, and its pixels are the whole window's.
        ASSERT_TRUE(scene.set_component_window(1, w));
        ASSERT_TRUE(scene.classify_playback_step());
        ASSERT_FALSE(scene.colours_complete()) << "width " << w;
        const std::vector<unsigned char> played = frame(true);
        const int level = detail.level();
        EXPECT_GT(level, 0);
        EXPECT_EQ(scene.probe(0.5, 0.5, aspect), ""); // nothing to read yet
        ASSERT_TRUE(scene.classify_all());
        detail.pin_next(level);
        EXPECT_EQ(frame(true), played) << "width " << w;
        EXPECT_NE(scene.probe(0.5, 0.5, aspect), "");

        // A frame that is not interactive (the pointer moving over the view) keeps the coarse
        // level and classifies nothing more; a frame at another detail (here full) classifies
        // the rest first: the whole window's colours and its picture.
        ASSERT_TRUE(scene.set_component_window(2, w + 1));
        ASSERT_TRUE(scene.classify_playback_step());
        const std::vector<unsigned char> coarse = frame(true);
        EXPECT_EQ(frame(false), coarse);
        ASSERT_FALSE(scene.colours_complete());
        detail.pin_next(0);
        const std::vector<unsigned char> full = frame(true);
        EXPECT_TRUE(scene.colours_complete());
        const std::vector<float> completed = colours(scene);
        ASSERT_TRUE(scene.classify_all());
        EXPECT_EQ(std::memcmp(completed.data(), scene.colour_volume.samples,
                              completed.size() * sizeof(float)),
                  0);
        EXPECT_EQ(frame(false), full);

        // A range typed since the step, even one that is refused, waits for the next
        // classification: the rest of the grid gets the step's own settings.
        ASSERT_TRUE(scene.set_component_window(1, w));
        ASSERT_TRUE(scene.classify_playback_step());
        ASSERT_FALSE(scene.colours_complete());
        scene.range = 0.0;
        EXPECT_FALSE(scene.classify_playback_step()); // refused, nothing changed
        detail.pin_next(0);
        frame(true);
        EXPECT_TRUE(scene.colours_complete());
        const std::vector<float> kept = colours(scene);
        scene.range = 100.0;
        ASSERT_TRUE(scene.classify_all());
        EXPECT_EQ(
            std::memcmp(kept.data(), scene.colour_volume.samples, kept.size() * sizeof(float)), 0);

        // And so does the end of playback.
        ASSERT_TRUE(scene.set_component_window(3, w + 2));
        ASSERT_TRUE(scene.classify_playback_step());
        ASSERT_FALSE(scene.colours_complete());
        ASSERT_TRUE(scene.complete_colours());
        const std::vector<float> ended = colours(scene);
        ASSERT_TRUE(scene.classify_all());
        EXPECT_EQ(
            std::memcmp(ended.data(), scene.colour_volume.samples, ended.size() * sizeof(float)),
            0);
    }
}

// A grid opened after a coarse step of playback is shown zeroed until it is classified, as any
// new grid is: nothing of the old window's classification carries over to it.
TEST(Playback, a_new_grid_after_a_coarse_step_waits_for_its_classification) {
    Scene scene;
    fill_field(scene);
    HeadlessView view;
    ASSERT_TRUE(view.open(width, height)) << view.error();
    scene.attach_main_view(view);
    ASSERT_TRUE(scene.fit_view(double(width) / height));
    InteractiveDetail& detail = scene.interactive_detail;
    detail.after_frame(2.0); // a full frame known to be slow
    ASSERT_TRUE(scene.set_component_window(0, 1));
    ASSERT_TRUE(scene.classify_playback_step()); // measures the width
    ASSERT_TRUE(scene.set_component_window(1, 2));
    ASSERT_TRUE(scene.classify_playback_step());
    ASSERT_FALSE(scene.colours_complete());

    struct QuietPrompts final : ImportPrompts {
        void show_message(const std::string&) override {}
        bool ask_save_path(const std::string&, std::string&) override { return false; }
    } prompts;
    TempDir dir;
    std::string text = "2 2 2 1\n";
    for (int i = 0; i < 8; ++i)
        text += "0 0 0 50\n";
    ASSERT_TRUE(scene.import_grid(dir.write("g.txt", text), prompts).ok);
    EXPECT_TRUE(scene.colours_complete());
    detail.before_frame(false);
    ASSERT_TRUE(view.repaint());
    const Volume& c = scene.colour_volume;
    EXPECT_TRUE(
        std::all_of(c.samples, c.samples + c.sample_count(), [](float s) { return s == 0.0f; }));
}
