// The colour legend: its bar against the curves at the tick values, read back from the pixels
// of a headless frame, and its colours against what the grid itself gets.
#include "overlay_pixels.h"

#include "colour_legend.h"
#include "nice_ticks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// A curve's value at normalised position x, straight from its points: the ease
// y0 + d (3s^2 - 2s^3) from the previous point (the origin first), 0 past the last one.
double curve_at(const TransferFunction& c, double x) {
    double x0 = 0.0, y0 = 0.0;
    for (int i = 0; i < c.count; ++i) {
        if (x <= c.x[i]) {
            const double s = (x - x0) / (c.x[i] - x0), d = c.y[i] - y0;
            return y0 + d * (3.0 * s * s - 2.0 * s * s * s);
        }
        x0 = c.x[i];
        y0 = c.y[i];
    }
    return 0.0;
}

void set_curve(TransferFunction& c, std::vector<double> x, std::vector<double> y) {
    ASSERT_TRUE(c.assign_points(static_cast<int>(x.size()), x.data(), y.data()));
    c.update_segments();
}

void set_curves(Scene& scene) {
    set_curve(scene.red_curve, {0.3, 0.7, 1.0}, {0.2, 0.9, 0.0});
    set_curve(scene.green_curve, {0.5, 1.0}, {0.6, 0.0});
    set_curve(scene.blue_curve, {0.2, 0.9, 1.0}, {1.0, 0.1, 0.0});
    set_curve(scene.opacity_curve, {0.6, 0.95, 1.0}, {0.45, 0.1, 0.0});
}

int byte_of(double v) {
    return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

} // namespace

TEST(ColourLegend, bar_shows_the_curves_at_the_ticks) {
    Scene scene;
    set_curves(scene);
    scene.low_end = 10.0;
    scene.range = 40.0;
    scene.legend.shown = true;
    const int width = 300, height = 200;
    const Frame f = draw_frame(scene, width, height);
    const LegendLayout l = LegendLayout::for_view(width, height);
    ASSERT_TRUE(l.fits);
    const Ticks ticks = nice_ticks(10.0, 50.0);
    ASSERT_EQ(ticks.values, (std::vector<double>{10, 20, 30, 40, 50}));
    const int cw = LegendLayout::column_width;
    for (const double t : ticks.values) {
        const int row = std::clamp(l.value_row(t, 10.0, 40.0), 0, l.bar_height - 1);
        // The row's own value lies within half a row of the tick.
        const double v = l.row_value(row, 10.0, 40.0);
        ASSERT_LE(std::fabs(v - t), 40.0 / l.bar_height);
        // Without a grid the legend's points have two components: one piece of path, which
        // contributes half its curve's value (1 / n of it for n values).
        const double x = (v - 10.0) / 40.0, share = 0.5;
        const double colour[3] = {share * curve_at(scene.red_curve, x),
                                  share * curve_at(scene.green_curve, x),
                                  share * curve_at(scene.blue_curve, x)};
        const double alpha = std::min(1.0, 2.0 * share * curve_at(scene.opacity_curve, x));
        const unsigned char* plain = f.at(l.bar_x + cw / 2, l.bar_y + row);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(plain[k], byte_of(colour[k]), 1) << "tick " << t << " channel " << k;
        // Over the checkerboard: both greys, in neighbouring cells.
        for (const int col : {1, 1 + LegendLayout::checker_cell}) {
            const int cell = col / LegendLayout::checker_cell + row / LegendLayout::checker_cell;
            const double ground = cell % 2 == 0 ? 0.75 : 0.4;
            const unsigned char* over = f.at(l.bar_x + cw + col, l.bar_y + row);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(over[k], byte_of(colour[k] * alpha + ground * (1.0 - alpha)), 1)
                    << "tick " << t << " channel " << k << " column " << col;
        }
        // The tick mark at the bar's left.
        EXPECT_GT(f.at(l.bar_x - 3, l.bar_y + row)[0], 200) << "tick " << t;
    }
    // Above 1.0 every curve is 0: the top row of a legend ending at the last point is black.
    EXPECT_LE(f.at(l.bar_x + cw / 2, l.bar_y + l.bar_height - 1)[0], 5);
}

// The legend classifies as the grid is classified: a grid point whose components all hold v
// gets the legend's colour for v, with the grid's component count, window and path mode.
TEST(ColourLegend, colours_are_what_the_grid_gets) {
    Scene scene;
    set_curves(scene);
    scene.low_end = 0.0;
    scene.range = 10.0;
    const std::vector<double> values = {-1.0, 0.5, 3.25, 6.0, 9.99, 12.0};
    Volume& d = scene.data_volume;
    ASSERT_TRUE(d.allocate(static_cast<int>(values.size()), 1, 1, 5));
    d.valid = true;
    for (std::size_t i = 0; i < values.size(); ++i)
        for (int c = 0; c < 5; ++c)
            d.samples[d.flat_index(static_cast<int>(i), 0, 0, c)] = static_cast<float>(values[i]);
    ASSERT_TRUE(scene.colour_volume.allocate(d.nx, 1, 1, 4));
    scene.data_replaced();
    for (const PathIntegration way : {PathIntegration::exact, PathIntegration::forward})
        for (const auto& window : {std::pair{0, 4}, std::pair{2, 2}, std::pair{1, 3}}) {
            scene.integration = way;
            ASSERT_TRUE(scene.set_component_window(window.first, window.second));
            ASSERT_TRUE(scene.classify_all());
            std::vector<float> legend;
            ASSERT_TRUE(legend_colours(scene, values, legend));
            const Volume& c = scene.colour_volume;
            EXPECT_EQ(legend, std::vector<float>(c.samples, c.samples + c.sample_count()))
                << "window " << window.first << ".." << window.second;
        }
    // A range of 0 colours nothing: no legend.
    scene.range = 0.0;
    std::vector<float> none;
    EXPECT_FALSE(legend_colours(scene, values, none));
}

// Off, the legend draws nothing; on, it changes only its own corner of the frame.
TEST(ColourLegend, drawn_only_when_shown_and_only_in_its_corner) {
    Scene scene;
    set_curves(scene);
    const Frame off = draw_frame(scene, 240, 160);
    // No grid: the frame is the clear colour alone.
    EXPECT_TRUE(
        std::all_of(off.rgba.begin(), off.rgba.end(), [](unsigned char b) { return b == 0; }));
    scene.legend.shown = true;
    const Frame on = draw_frame(scene, 240, 160);
    const LegendLayout l = LegendLayout::for_view(240, 160);
    bool changed = false;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 240; ++x) {
            const bool same = std::equal(off.at(x, y), off.at(x, y) + 4, on.at(x, y));
            changed = changed || !same;
            if (x < l.bar_x - 8 || y < l.bar_y - 2 || y > l.bar_y + l.bar_height + 1) {
                ASSERT_TRUE(same) << x << "," << y; // no labels without a label maker
            }
        }
    EXPECT_TRUE(changed);
}
