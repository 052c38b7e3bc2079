#pragma once

struct PreparedCurve;

// The two-component row pass of the classification for four grid points at a time, with AVX2
// gathers. It computes exactly what integrate_piece_in computes, lane by lane, in the same
// order of operations, so results are bit-for-bit those of the scalar pass.
//
// True when this processor can run it (and it has not been switched off).
bool vector_pairs_available();

// Switches the vector pass off or back on, for comparing it with the scalar pass.
void set_vector_pairs_enabled(bool enabled);

// Fills q[4 * x + c] for x in [0, count rounded down to a multiple of 4) and the four curves,
// from the row's normalised values t0, t1, weights w and buckets b0, b1; returns how many
// points it did.
int classify_pairs_vector(const PreparedCurve (&curves)[4], const double* t0, const double* t1,
                          const double* w, const int* b0, const int* b1, int count, float* q);
