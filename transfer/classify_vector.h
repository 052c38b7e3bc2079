#pragma once

struct PreparedCurve;

// The two-component row pass of the classification for four grid points at a time, with AVX2
// gathers: the vector form of the table kernel. Each step is the lane-by-lane form of its
// scalar counterpart in path_integral.h (normalised, piece_length, ordinary_piece,
// is_missing_point, start_at, reach, piece_between, piece_counts), in the same order of
// operations, so results are bit-for-bit those of the scalar row pass. It reads every
// segment in the absolute x (PreparedCurve::shift all 0): curves with a narrow segment take
// the scalar pass.
//
// True when this processor can run it (and it has not been switched off).
bool vector_pairs_available();

// Switches the vector pass off or back on, for comparing it with the scalar pass.
void set_vector_pairs_enabled(bool enabled);

// Classifies the two-component points x in [0, count rounded down to a multiple of 4) of a
// row p (2 samples a point) into q (4 a point), all four curves, normalising as
// (s - low) * inv; with `exact`, a descending piece is taken upwards from its lower end, as the
// scalar row pass takes it. Points that are missing or whose piece is not ordinary (see
// path_integral.h) are listed in special[specials...] (their q is left for the caller).
// Returns how many points it did. The curves share one search table span, hold at most one
// position per bucket and have no narrow segment.
// Only the channels whose bit is set in `channels` are computed and stored.
int classify_pairs_vector(const PreparedCurve (&curves)[4], int channels, const float* p, int count,
                          double low, double inv, bool exact, float* q, int* special,
                          int& specials);
