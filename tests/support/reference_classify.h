#pragma once

#include "classify.h"

class TransferFunction;
class Volume;
struct CubicSegment;

// A literal, serial reading of the pre-integrated classification: every antiderivative
// coefficient is re-scaled on every evaluation, every piece divides by its own length, and
// the grid is walked point by point. Tests and benchmarks hold the fast classification
// against it (the forward mode). Each segment is read in the form its `narrow` flag names. A
// zero-length piece contributes (1/n) times the current segment's value.
double reference_pre_integrate(const CubicSegment* segments, int count, int n, double low,
                               double inverse_range, const double* x, const float* values);

// The exact mode by numbers alone: each piece contributes 1/n times the curve's average over
// the interval between its two values (the segment that reaches each value, read in the form its
// `narrow` flag names, 0 below 0 and past the last position), taken by Gauss-Legendre quadrature
// on 16 panels of every stretch between positions; a piece of length zero contributes 1/n times
// the curve's value there, and a single value counts twice.
double reference_exact_pre_integrate(const CubicSegment* segments, int count, int n, double low,
                                     double inverse_range, const double* x, const float* values);

// The whole classification, point by point, through one of the two references above; a zero or
// non-finite range, or a non-finite low end, is refused.
bool reference_classify(Volume& target, const Volume& source,
                        const TransferFunction* const (&curves)[4], double low, double range,
                        PathIntegration integration);

// The forward walk bit for bit as classification computed it before its walks were rebuilt (a
// separate copy of that code). Classification must still give these bits for paths whose
// normalised values never descend, and in the forward mode for every path.
double baseline_pre_integrate(const CubicSegment* segments, int count, int n, double low,
                              double inverse_range, const double* x, const float* values);
