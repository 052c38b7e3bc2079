#pragma once

struct PreparedCurve;

// The two-component row pass of the classification for four grid points at a time, with AVX2
// gathers. It computes exactly what integrate_piece_in computes, lane by lane, in the same
// order of operations, so results are bit-for-bit those of the scalar pass. It reads every
// segment in the absolute x (PreparedCurve::shift all 0): curves with a narrow segment take
// the scalar pass.
//
// True when this processor can run it (and it has not been switched off).
bool vector_pairs_available();

// Switches the vector pass off or back on, for comparing it with the scalar pass.
void set_vector_pairs_enabled(bool enabled);

// Classifies the two-component points x in [0, count rounded down to a multiple of 4) of a
// row p (2 samples a point) into q (4 a point), all four curves, normalising as
// (s - low) * inv. Points that are missing, non-finite or have two equal values are listed
// in special[specials...] (their q is left for the caller). Returns how many points it did.
// The curves share one search table span, hold at most one position per bucket and have no
// narrow segment.
// Only the channels whose bit is set in `channels` are computed and stored.
int classify_pairs_vector(const PreparedCurve (&curves)[4], int channels, const float* p,
                          int count, double low, double inv, float* q, int* special,
                          int& specials);
