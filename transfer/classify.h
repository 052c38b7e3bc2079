#pragma once

#include "volume.h"

#include <vector>

class TransferFunction;

// How a grid point's path of values is averaged where it runs downwards.
//
// exact: every piece between two consecutive values contributes 1/n times the curve's mean over
// the interval between them, whichever way it runs (the curve is 0 below 0 and past its last
// position); a single value counts as a path that stays there, so it gets 1/2 of the curve's
// value at it.
// forward: the walk whose segment index only moves forward, so a descending piece is integrated
// with the segment where it starts, values below 0 are passed over only while the first
// segment is current, and a single value gives 0.
//
// On a path whose normalised values never descend both give the same bits.
enum class PathIntegration { exact, forward };

// What a classification reads besides the volumes and curves. Values normalise as
// (s - low) / range.
struct ClassifySettings {
    double low = 0.0;
    double range = 100.0;
    MissingData missing = MissingData::grey;
    PathIntegration integration = PathIntegration::exact;
};

// Fills target (four components, extents equal to source's) with red, green, blue and the
// opacity factor times opacity, each curve (red, green, blue, opacity) averaged along each grid
// point's component values; a missing grid point (is_missing_point of its first component) is
// grey with an opacity that grows with the missing points around it, or as settings.missing
// chooses.
//
// `threads` worker threads (0: one per hardware thread, fewer for small grids). The grid is cut
// into slabs of whole z-planes; every grid point is computed the same way on any thread, so the
// colour volume is bit-for-bit the same for any count.
//
// Returns false and leaves target unchanged when the extents differ, range is 0 or low or range
// is not finite, or (for a grid with points) target does not have four components, either
// volume has no samples or scratch memory runs out. A grid without points is classified: true,
// and target is valid.
bool classify(Volume& target, const Volume& source, const TransferFunction* const (&curves)[4],
              const ClassifySettings& settings, int threads = 0);

// How a classification computes its channels: the same plan gives every channel the same bits
// whichever channels are computed together.
struct ClassifyPlan {
    bool pairs = false;        // two-component rows through the row pass
    bool vector_pairs = false; // ... with its four-lane version
    bool operator==(const ClassifyPlan&) const = default;
};

// classify computing only the channels whose bit is set in `channels` (bit 0 red ... bit 3
// opacity) and leaving the others as they are; each computed channel gets exactly the values a
// full classification with the same curves would give it. Missing grid points are written whole
// (what they get depends on the data and settings.missing alone). `plan`, when not null,
// receives how the channels were computed.
bool classify_channels(Volume& target, const Volume& source,
                       const TransferFunction* const (&curves)[4], const ClassifySettings& settings,
                       int threads, int channels, ClassifyPlan* plan);

// Some of a grid's points: every combination of one index from each list (each within the
// grid's extent along its axis). A coarse frame draws such a lattice.
struct GridLattice {
    std::vector<int> x, y, z;
    std::int64_t points() const {
        return static_cast<std::int64_t>(x.size()) * std::int64_t(y.size()) *
               std::int64_t(z.size());
    }
};

// classify_channels for the lattice's grid points alone: each gets exactly the values classify
// gives it in the channels of `channels`, and every other grid point keeps what target holds.
// False, target unchanged, where classify refuses or an index lies outside the grid.
bool classify_lattice(Volume& target, const Volume& source,
                      const TransferFunction* const (&curves)[4], const ClassifySettings& settings,
                      const GridLattice& lattice, int channels = 0xF, int threads = 0);
