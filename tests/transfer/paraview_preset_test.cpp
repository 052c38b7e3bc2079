// ParaView colour-map presets read where a curves file is: fitted over their own span, and the
// documents that are neither refused with the reason.
#include "curves_file.h"
#include "paraview_preset.h"
#include "preset_references.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// ParaView's default map as its preset export writes it, in data units from -1 to 3, with an
// opacity ramp.
const char* const cool_to_warm = R"([
  { "ColorSpace": "Diverging", "Name": "Cool to Warm", "NanColor": [1, 1, 0],
    "RGBPoints": [-1, 0.23137254902, 0.298039215686, 0.752941176471,
                  1, 0.865, 0.865, 0.865,
                  3, 0.705882352941, 0.0156862745098, 0.149019607843],
    "Points": [-1, 0, 0.5, 0, 3, 1, 0.5, 0] }
])";

CurvesFile read_ok(const std::string& text) {
    CurvesFile file;
    std::string error;
    EXPECT_TRUE(parse_curves_text(text, "/maps/preset.json", file, error)) << error;
    return file;
}

// Parses `text`, expecting a refusal that names the file and leaves `out` as it was.
std::string refusal(const std::string& text) {
    CurvesFile out;
    out.curves[0].count = 2;
    out.curves[0].x[0] = 0.5;
    out.curves[0].y[0] = 0.25;
    out.curves[0].x[1] = 1.0;
    std::string error;
    EXPECT_FALSE(parse_curves_text(text, "/maps/odd.json", out, error)) << text;
    EXPECT_EQ(out.curves[0].count, 2);
    EXPECT_EQ(out.curves[0].x[0], 0.5);
    EXPECT_NE(error.find("\"/maps/odd.json\""), std::string::npos) << error;
    return error;
}

} // namespace

// The three stops interpolated in Msh give Moreland's map, computed independently for the
// reference table: the fit follows it within 0.02 (the export's end colours are rounded to
// 1/255, 0.0014 from the published ones).
TEST(ParaviewPreset, cool_to_warm_is_fitted_over_its_own_span) {
    const CurvesFile file = read_ok(cool_to_warm);
    EXPECT_FALSE(file.has_low); // the low end and range stay the caller's
    EXPECT_FALSE(file.has_range);
    EXPECT_EQ(file.fitted_from, "Cool to Warm");
    const ColourMap reference = reference_map("cool_warm.csv");
    for (int c = 0; c < 3; ++c) {
        ASSERT_TRUE(file.has_channel[c]);
        const TransferFunction curve = curve_of(file.curves[c]);
        EXPECT_LE(difference_from_map(curve, reference, c), 0.02) << c;
        EXPECT_LE(file.curves[c].count, 16);
    }
    // The opacity ramp from -1 to 3 is linear over 0..1.
    ASSERT_TRUE(file.has_channel[3]);
    const TransferFunction opacity = curve_of(file.curves[3]);
    for (double u : {0.01, 0.25, 0.5, 0.75, 0.99})
        EXPECT_NEAR(curve_value(opacity, u), u, 0.011) << u;
    EXPECT_LE(file.largest_difference, 0.02);
    EXPECT_GT(file.largest_difference, 0.0);
}

TEST(ParaviewPreset, a_map_without_opacity_leaves_the_opacity_curve) {
    const CurvesFile file = read_ok(R"({"RGBPoints": [0, 0, 0, 0, 10, 1, 0.5, 0.25]})");
    EXPECT_FALSE(file.has_channel[3]);
    EXPECT_EQ(file.fitted_from, "a ParaView colour map");
    const TransferFunction green = curve_of(file.curves[1]);
    EXPECT_NEAR(curve_value(green, 0.5), 0.25, 0.011);
}

// Each colour space between two stops, and ParaView's opacity midpoint and sharpness.
TEST(ParaviewPreset, stops_are_interpolated_in_the_map_s_colour_space) {
    ColourMap map;
    map.colours = {{0.0, {0.0, 0.0, 1.0}}, {1.0, {1.0, 0.0, 0.0}}};
    double rgb[3];
    map.space = ColourSpace::hsv; // blue to red through green, hue unwrapped
    map_colour(map, 0.5, rgb);
    EXPECT_NEAR(rgb[0], 0.0, 1e-12);
    EXPECT_NEAR(rgb[1], 1.0, 1e-12);
    EXPECT_NEAR(rgb[2], 0.0, 1e-12);
    map.space = ColourSpace::step;
    map_colour(map, 0.99, rgb);
    EXPECT_EQ(rgb[2], 1.0);
    map.space = ColourSpace::rgb;
    map_colour(map, 0.25, rgb);
    EXPECT_NEAR(rgb[0], 0.25, 1e-12);
    map_colour(map, 7.0, rgb); // beyond the end: the end colour
    EXPECT_EQ(rgb[0], 1.0);
    map.space = ColourSpace::lab; // the ends come back as they were
    map_colour(map, 0.0, rgb);
    EXPECT_EQ(rgb[2], 1.0);
    map_colour(map, 1e-9, rgb);
    EXPECT_NEAR(rgb[2], 1.0, 1e-6);
    map.space = ColourSpace::diverging; // blue and red meet in Moreland's white
    map_colour(map, 0.5, rgb);
    EXPECT_NEAR(rgb[0], rgb[1], 0.01);
    EXPECT_GT(rgb[1], 0.8);

    map.opacities = {{0.0, 0.0, 0.25, 0.0}, {1.0, 1.0, 0.5, 0.0}};
    EXPECT_NEAR(map_opacity(map, 0.25), 0.5, 1e-12); // the midpoint is where it is halfway
    EXPECT_NEAR(map_opacity(map, 0.125), 0.25, 1e-12);
    map.opacities[0].sharpness = 1.0; // a step at the midpoint
    EXPECT_EQ(map_opacity(map, 0.24), 0.0);
    EXPECT_EQ(map_opacity(map, 0.26), 1.0);
    map.opacities[0].sharpness = 0.5; // between: still halfway at the midpoint, and monotone
    EXPECT_NEAR(map_opacity(map, 0.25), 0.5, 1e-12);
    EXPECT_LT(map_opacity(map, 0.1), map_opacity(map, 0.2));
}

// A discrete map (repeated positions) is followed except next to its jumps.
TEST(ParaviewPreset, a_discrete_map_is_followed_between_its_jumps) {
    const CurvesFile file = read_ok(R"([{"Name": "Three", "ColorSpace": "RGB", "RGBPoints": [
        0, 0.1, 0.2, 0.3,  1, 0.1, 0.2, 0.3,  1, 0.9, 0.5, 0.1,
        2, 0.9, 0.5, 0.1,  2, 0.4, 0.8, 0.6,  3, 0.4, 0.8, 0.6]}])");
    const TransferFunction red = curve_of(file.curves[0]);
    EXPECT_NEAR(curve_value(red, 0.2), 0.1, 1e-9);
    EXPECT_NEAR(curve_value(red, 0.5), 0.9, 1e-9);
    EXPECT_NEAR(curve_value(red, 0.9), 0.4, 1e-9);
    EXPECT_LE(file.largest_difference, 1e-9);
}

TEST(ParaviewPreset, a_document_that_is_neither_is_refused_with_the_reason) {
    EXPECT_NE(refusal("5").find("neither a curves file"), std::string::npos);
    EXPECT_NE(refusal(R"("viridis")").find("nor a ParaView colour map"), std::string::npos);
    EXPECT_NE(refusal(R"([{"Name": "x"}, 3])").find("no entry of the list has \"RGBPoints\""),
              std::string::npos);
    EXPECT_NE(refusal(R"([])").find("\"RGBPoints\""), std::string::npos);
    EXPECT_NE(refusal(R"({"Name": "Labels", "IndexedColors": [1, 0, 0]})").find("indexed"),
              std::string::npos);
    EXPECT_NE(refusal(R"({"Name": "x", "NanColor": [1, 0, 0]})").find("without \"RGBPoints\""),
              std::string::npos);
    // A curves file's keys beside ParaView's: the curves file's rules and message.
    EXPECT_NE(refusal(R"({"red": [[0.5, 0.5]], "Name": "x"})").find("the key \"Name\""),
              std::string::npos);

    const struct {
        const char* points;
        const char* reason;
    } bad[] = {
        {R"([0, 0, 0, 0, 1, 1, 1])", "groups of four"},
        {R"([0, 0, 0, 0])", "at least 2 groups"},
        {R"([0, 0, 0, 0, 1, 1, "1", 1])", "finite number"},
        {R"([1, 0, 0, 0, 0, 1, 1, 1])", "positions must ascend"},
        {R"([0, 0, 0, 0, 1, 1, 1.5, 1])", "outside 0 to 1"},
        {R"([2, 0, 0, 0, 2, 1, 1, 1])", "span no range"},
        {R"({"x": 1})", "groups of four"},
    };
    for (const auto& b : bad) {
        const std::string message = refusal(std::string(R"([{"RGBPoints": )") + b.points + "}]");
        EXPECT_NE(message.find("it is a ParaView colour map, but"), std::string::npos) << message;
        EXPECT_NE(message.find(b.reason), std::string::npos) << b.points << ": " << message;
    }
    EXPECT_NE(refusal(R"({"RGBPoints": [0, 0, 0, 0, 1, 1, 1, 1], "ColorSpace": "CMYK"})")
                  .find("\"ColorSpace\""),
              std::string::npos);
    EXPECT_NE(refusal(R"({"RGBPoints": [0, 0, 0, 0, 1, 1, 1, 1], "Points": [0, 2, 0.5, 0]})")
                  .find("outside 0 to 1"),
              std::string::npos);
}
