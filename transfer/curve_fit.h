#pragma once

#include "curves_file.h"

// Fitting one channel of a colour map into a curve's control points.
//
// A curve runs from the implicit origin (0, 0) through its points along cubic eases that are
// flat at every point, and ends at the fixed (1.0, 0.0). A map that is not 0 at its ends can
// therefore be followed only inside: the fit is measured over [fit_margin, 1 - fit_margin],
// and outside it the curve rises from the origin and falls to the final point.

inline constexpr double fit_margin = 0.01;

// One channel of a map over the normalised value, sampled every 1 / steps from 0 to 1. A
// sample that is not `counted` does not enter the fit's error: those outside the measured
// span, and those within a knot spacing of a jump, where no continuous curve can follow.
struct ChannelSamples {
    static constexpr int steps = 1000;
    double value[steps + 1] = {};
    bool counted[steps + 1] = {};
};

// Marks the samples of [fit_margin, 1 - fit_margin] counted.
void count_measured_span(ChannelSamples& samples);
// Uncounts the samples closer than a knot spacing to a jump at x.
void skip_jump(ChannelSamples& samples, double x);

// The knots are chosen among positions knot_spacing apart within the measured span: wide
// enough that no two points of a curve share a bucket of the classification's search table
// (1024 over the curve's span), fine enough to place a knot near every corner of a map.
inline constexpr double knot_spacing = 0.005;

struct CurveFit {
    CurvePoints points;     // the final (1.0, 0.0) included
    double max_error = 0.0; // over the counted samples
};

// How closely and with how many points a fit follows a map. A difference of 0.01 is under
// 3/255 of a colour; the points left free (4 of 20) are there for a person to add their own.
struct FitLimits {
    double tolerance = 0.01;
    int most_points = 16; // the final point included
};

// The curve through the fewest points whose largest difference from the counted samples is
// at most the tolerance, or the closest one within the most points when none is. The knots
// lie on the map (y is the sample there), so a map's corners and ends are kept exactly; the
// choice among knot positions is exact (dynamic programming over the largest difference of
// each segment). Between two knots the ease can follow a straight stretch of a map only to
// about a tenth of its rise, so straight maps take the most points.
CurveFit fit_channel(const ChannelSamples& samples, const FitLimits& limits = {});

// The largest difference between the curve through `points` (its segments as the segment
// builder makes them) and the counted samples.
double fit_error(const CurvePoints& points, const ChannelSamples& samples);
