#pragma once

class TransferFunction;
class Volume;
struct CubicSegment;

// A literal, serial reading of the pre-integrated classification: every antiderivative
// coefficient is re-scaled on every evaluation, every piece divides by its own length, and
// the grid is walked point by point. Tests and benchmarks hold the fast classification
// against it. Each segment is read in the form its `narrow` flag names. A zero-length piece
// contributes (1/n) times the current segment's value; a zero or non-finite range, or a non-finite
// low end, is refused.
double reference_pre_integrate(const CubicSegment* segments, int count, int n, double low,
                               double inverse_range, const double* x, const float* values);

bool reference_classify(Volume& target, const Volume& source, const TransferFunction& red,
                        const TransferFunction& green, const TransferFunction& blue,
                        const TransferFunction& opacity, double low, double range);

// The forward walk bit for bit as classification computed it before its walks were rebuilt (a
// separate copy of that code). Classification must still give these bits for paths whose
// normalised values never descend, and in the forward mode for every path.
double baseline_pre_integrate(const CubicSegment* segments, int count, int n, double low,
                              double inverse_range, const double* x, const float* values);
