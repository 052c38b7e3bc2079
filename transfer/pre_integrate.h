#pragma once

#include "classify.h"
#include "cubic_segment.h"

// The average of one curve (its first `count` segments, ending at the positions x) along one
// grid point's n component values, normalised as (s - low) * inverse_range. Each piece between
// consecutive values contributes 1/n times the curve's mean over its part of the piece, taken
// as `integration` says; see path_integral.h for the exact rules. count is 1 to 20; n >= 1.
double pre_integrate(const CubicSegment* segments, int count, int n, double low,
                     double inverse_range, const double* x, const float* values,
                     PathIntegration integration);
