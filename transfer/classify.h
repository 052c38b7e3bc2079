#pragma once

#include "volume.h"

class TransferFunction;

// Volume::classify with a chosen number of worker threads (0: one per hardware thread, fewer
// for small grids). The grid is cut into slabs of whole z-planes; every grid point is computed
// the same way on any thread, so the colour volume is bit-for-bit the same for any count.
//
// Fills target (four components, extents equal to source's) with red, green, blue and twice
// the opacity pre-integrated along each grid point's component values, normalised as
// (s - low) / range; a grid point whose first component is below -100 is grey with an opacity
// that grows with the missing points around it (or as `missing` chooses). Returns false and leaves target unchanged when
// the extents differ, range is 0 or low or range is not finite, or (for a grid with points)
// target does not have four components, either volume has no samples or scratch memory runs
// out. A grid without points is classified: true, and target is valid.
bool classify_volume(Volume& target, const Volume& source, const TransferFunction& red,
                     const TransferFunction& green, const TransferFunction& blue,
                     const TransferFunction& opacity, double low, double range, int threads,
                     MissingData missing = MissingData::grey);

// How a classification computes its channels: the same plan gives every channel the same bits
// whichever channels are computed together.
struct ClassifyPlan {
    bool pairs = false;        // two-component rows through the row pass
    bool vector_pairs = false; // ... with its four-lane version
    bool operator==(const ClassifyPlan&) const = default;
};

// classify_volume computing only the channels whose bit is set in `channels` (bit 0 red ...
// bit 3 opacity) and leaving the others as they are; each computed channel gets exactly the
// values a full classification with the same curves would give it. Missing grid points are
// written whole (what they get depends on the data and `missing` alone). `plan`, when not null, receives how
// the channels were computed.
bool classify_channels(Volume& target, const Volume& source, const TransferFunction& red,
                       const TransferFunction& green, const TransferFunction& blue,
                       const TransferFunction& opacity, double low, double range, int threads,
                       MissingData missing, int channels, ClassifyPlan* plan);
