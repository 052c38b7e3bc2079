// The shipped presets against their reference maps, the fitter, and --preset's words.
#include "curve_fit.h"
#include "curve_presets.h"
#include "preset_references.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct Reference {
    const char* preset;
    const char* table;
};

constexpr Reference references[] = {
    {"viridis", "viridis.csv"}, {"cool-warm", "cool_warm.csv"}, {"temperature", "temperature.csv"},
    {"grey", "grey.csv"},       {"ramp", "ramp.csv"},           {"tent", "tent.csv"},
    {"step", "step.csv"}};

} // namespace

// Each preset follows its published or defined map within 0.02 over [0.01, 0.99], read through
// the segments the curves really build; the difference it records is the one measured here.
TEST(CurvePresets, each_preset_follows_its_reference_map) {
    for (const Reference& r : references) {
        const CurvePreset* preset = find_curve_preset(r.preset);
        ASSERT_TRUE(preset) << r.preset;
        const ColourMap map = reference_map(r.table);
        double worst = 0.0;
        for (int c = 0; c < preset->curve_count; ++c) {
            const int channel = preset->colour ? c : 3;
            worst = std::max(worst, difference_from_map(curve_of(preset->curves[c]), map, channel));
        }
        std::printf("%-12s largest difference %.4f over [0.01, 0.99]\n", r.preset, worst);
        EXPECT_LE(worst, 0.02) << r.preset;
        EXPECT_NEAR(worst, preset->fit_error, 2e-4) << r.preset;
    }
}

// What the curves file and the classification rely on: at most 16 points (four left for a
// person's own), ascending, the last (1.0, 0.0), and no two closer than a knot spacing (each in
// its own bucket of the classification's search table).
TEST(CurvePresets, presets_are_curves_a_file_would_hold) {
    int colour = 0, opacity = 0;
    for (const CurvePreset& p : curve_presets()) {
        (p.colour ? colour : opacity) += 1;
        ASSERT_EQ(p.curve_count, p.colour ? 3 : 1) << p.name;
        for (int c = 0; c < p.curve_count; ++c) {
            const CurvePoints& points = p.curves[c];
            ASSERT_GE(points.count, 1);
            EXPECT_LE(points.count, 16) << p.name;
            EXPECT_EQ(points.x[points.count - 1], 1.0) << p.name;
            EXPECT_EQ(points.y[points.count - 1], 0.0) << p.name;
            for (int i = 1; i < points.count; ++i)
                EXPECT_GE(points.x[i] - points.x[i - 1], knot_spacing - 1e-12) << p.name << i;
            EXPECT_GE(points.x[0], fit_margin - 1e-12) << p.name;
        }
    }
    EXPECT_EQ(colour, 4);
    EXPECT_EQ(opacity, 3);
}

// A map that a curve draws exactly (knots on the knot grid) is fitted exactly, with no more
// points than that curve has: the knot choice finds the optimum, not just a fit.
TEST(CurveFit, a_map_drawn_by_a_curve_is_refitted_exactly) {
    CurvePoints drawn;
    drawn.count = 6;
    const double xs[] = {0.01, 0.2, 0.35, 0.6, 0.9, 1.0};
    const double ys[] = {0.4, 0.9, 0.1, 0.1, 0.7, 0.0};
    std::copy(xs, xs + 6, drawn.x);
    std::copy(ys, ys + 6, drawn.y);
    const TransferFunction curve = curve_of(drawn);
    ChannelSamples samples;
    for (int k = 0; k <= ChannelSamples::steps; ++k)
        samples.value[k] = curve_value(curve, double(k) / ChannelSamples::steps);
    count_measured_span(samples);

    const CurveFit fit = fit_channel(samples, {1e-9, 20});
    EXPECT_LE(fit.max_error, 1e-9);
    EXPECT_LE(fit.points.count, drawn.count);
    EXPECT_NEAR(fit_error(fit.points, samples), fit.max_error, 1e-12);
    // Too few points: the closest fit within them, its difference stated.
    const CurveFit tight = fit_channel(samples, {1e-9, 3});
    EXPECT_EQ(tight.points.count, 3);
    EXPECT_GT(tight.max_error, 0.05);
    EXPECT_NEAR(fit_error(tight.points, samples), tight.max_error, 1e-12);
    EXPECT_EQ(tight.points.x[2], 1.0);
}

// A jump is followed by a steep ease between the knot positions either side of it, and only
// the neighbourhood of the jump goes unmeasured.
TEST(CurveFit, a_jump_is_followed_outside_its_neighbourhood) {
    ChannelSamples samples;
    for (int k = 0; k <= ChannelSamples::steps; ++k)
        samples.value[k] = k < 437 ? 0.2 : 0.8; // a jump at 0.437, off the knot grid
    count_measured_span(samples);
    skip_jump(samples, 0.437);
    EXPECT_FALSE(samples.counted[437]);
    EXPECT_TRUE(samples.counted[432] && samples.counted[442]);
    const CurveFit fit = fit_channel(samples);
    EXPECT_LE(fit.max_error, 1e-12);
    EXPECT_LE(fit.points.count, 5); // 0.2 held, the step, 0.8 held, the final point
}

TEST(CurvePresets, words_choose_a_colour_and_an_opacity_preset) {
    PresetChoice c;
    std::string error;
    ASSERT_TRUE(parse_preset_choice("viridis", c, error)) << error;
    EXPECT_STREQ(c.colour->name, "viridis");
    EXPECT_FALSE(c.opacity);
    EXPECT_EQ(c.curve(0), &c.colour->curves[0]);
    EXPECT_FALSE(c.curve(3));
    ASSERT_TRUE(parse_preset_choice("step,cool-warm", c, error)) << error;
    EXPECT_STREQ(c.colour->name, "cool-warm");
    EXPECT_STREQ(c.opacity->name, "step");
    EXPECT_EQ(c.curve(3), &c.opacity->curves[0]);

    const struct {
        const char* words;
        const char* reason;
    } bad[] = {{"", "empty"},
               {"viridis,", "empty"},
               {"Viridis", "no preset is named 'Viridis'"},
               {"grey,viridis", "two colour presets"},
               {"ramp,tent", "two opacity presets"},
               {"grey,ramp,step", "at most one"}};
    for (const auto& b : bad) {
        PresetChoice kept;
        kept.colour = find_curve_preset("grey");
        error.clear();
        EXPECT_FALSE(parse_preset_choice(b.words, kept, error)) << b.words;
        EXPECT_NE(error.find(b.reason), std::string::npos) << b.words << ": " << error;
        EXPECT_STREQ(kept.colour->name, "grey"); // unchanged
        EXPECT_FALSE(kept.opacity);
    }
    EXPECT_EQ(preset_names(true), "viridis, cool-warm, temperature, grey");
    EXPECT_EQ(preset_names(false), "ramp, tent, step");
}
