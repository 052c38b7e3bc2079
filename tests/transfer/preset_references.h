#pragma once

#include "colour_map.h"
#include "curves_file.h"
#include "transfer_function.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

// A reference table of tests/transfer/data (see scripts/make_preset_references.py).
inline ColourMap reference_map(const std::string& table) {
    std::ifstream in(std::string(HALVORN_PRESET_DATA) + "/" + table, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ColourMap map;
    std::string error;
    EXPECT_TRUE(parse_map_table(text, map, error)) << table << ": " << error;
    return map;
}

// The curve through `points` with its segments built, as a panel or a classification has it.
inline TransferFunction curve_of(const CurvePoints& points) {
    TransferFunction curve;
    set_curve_points(curve, points);
    curve.update_segments();
    return curve;
}

// The curve's value at x as the classification reads its segments: the segment that reaches
// x, narrow ones in their local variable.
inline double curve_value(const TransferFunction& f, double x) {
    const int i = f.find(x);
    if (i >= f.count)
        return 0.0;
    const CubicSegment& s = f.segments[i];
    const double* c = s.narrow ? s.local : s.coefficients;
    const double v = s.narrow ? x - s.start : x;
    return c[0] + v * (c[1] + v * (c[2] + v * c[3]));
}

// The largest difference between a channel's curve and a map over the measured span: at the
// map's own entries (its published values) and every 1/1000 between them, leaving out what
// lies within a knot spacing of a jump. Positions are the map's, normalised over its span.
inline double difference_from_map(const TransferFunction& curve, const ColourMap& map,
                                  int channel) {
    const bool colour = channel < 3;
    std::vector<double> at;
    for (const ColourStop& s : map.colours)
        at.push_back(s.x);
    if (at.empty())
        for (const OpacityStop& s : map.opacities)
            at.push_back(s.x);
    const double lo = at.front(), span = at.back() - lo;
    std::vector<double> jumps;
    for (std::size_t i = 1; i < at.size(); ++i)
        if (at[i] == at[i - 1])
            jumps.push_back((at[i] - lo) / span);
    std::vector<double> where;
    for (double x : at)
        where.push_back((x - lo) / span);
    for (int k = 0; k <= 1000; ++k)
        where.push_back(k / 1000.0);
    double worst = 0.0;
    for (double u : where) {
        if (u < fit_margin - 1e-12 || u > 1.0 - fit_margin + 1e-12)
            continue;
        if (std::any_of(jumps.begin(), jumps.end(),
                        [&](double j) { return std::fabs(u - j) < knot_spacing; }))
            continue;
        double rgb[3];
        map_colour(map, lo + u * span, rgb);
        const double want = colour ? rgb[channel] : map_opacity(map, lo + u * span);
        worst = std::max(worst, std::fabs(curve_value(curve, u) - want));
    }
    return worst;
}
