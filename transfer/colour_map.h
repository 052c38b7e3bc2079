#pragma once

#include "curve_fit.h"

#include <string>
#include <vector>

// A colour map as other programs define one: colours (and perhaps opacities) at positions in
// the data's own units, and the colour space in which to interpolate between two stops.
// Between stops of the same position the map jumps; beyond its end stops it holds their values.
enum class ColourSpace {
    rgb,       // each of r, g, b linearly
    hsv,       // hue, saturation and value linearly (hue not wrapped: blue to red via green)
    lab,       // CIELAB linearly
    diverging, // Moreland's Msh, through white between two distinct saturated colours
    step,      // each stop's colour up to the next stop
};

struct ColourStop {
    double x = 0.0;
    double rgb[3] = {0.0, 0.0, 0.0}; // 0 to 1
};

// An opacity node as ParaView keeps one: between this node and the next, `midpoint` (0 to 1)
// is where the value is halfway, and `sharpness` (0 to 1) goes from linear (0) to a step at
// the midpoint (1).
struct OpacityStop {
    double x = 0.0;
    double opacity = 0.0; // 0 to 1
    double midpoint = 0.5;
    double sharpness = 0.0;
};

struct ColourMap {
    std::string name;
    ColourSpace space = ColourSpace::rgb;
    std::vector<ColourStop> colours;    // ascending x
    std::vector<OpacityStop> opacities; // ascending x; empty when the map has no opacity
};

// The colour and the opacity at position x.
void map_colour(const ColourMap& map, double x, double rgb[3]);
double map_opacity(const ColourMap& map, double x);

// One channel (0 red, 1 green, 2 blue, 3 opacity) sampled over the map's span normalised onto
// 0..1: the span of its colour stops, or of its opacity stops when it has no colours. Only the
// measured span counts, less the neighbourhood of each jump.
ChannelSamples sample_channel(const ColourMap& map, int channel);

// The map fitted channel by channel into curves. A channel the map does not have (opacity,
// or the colours of an opacity table) is left out: has[c] false.
struct ColourMapFit {
    CurvePoints curves[4];
    bool has[4] = {false, false, false, false};
    double max_error[4] = {0.0, 0.0, 0.0, 0.0}; // over each channel's counted samples
    double largest_error() const;
};
ColourMapFit fit_colour_map(const ColourMap& map, const FitLimits& limits = {});

// A map kept as a table, as the presets' references are: comment lines starting with '#',
// then rows "x,r,g,b" (colours, linear) or "x,a" (opacities, linear), x ascending, a repeated
// x a jump. False with the reason for a malformed table.
bool parse_map_table(const std::string& text, ColourMap& out, std::string& error);
