#pragma once

#include "cubic_segment.h"

// Computes a curve's cubic segments from its control points. Stateless; exactly one instance
// exists, created on the first call of instance() and never deleted.
class SegmentBuilder {
public:
    static SegmentBuilder& instance();

    // Writes segment i of the curve through the points (x, y): the cubic ease with zero slope
    // at both ends from the previous point (the origin for i = 0) to point i, expanded in the
    // absolute x, and the same ease in v = x - x0 (see CubicSegment). A segment of zero width
    // (or one whose coefficients would not be finite) is the constant at point i's value, in
    // both forms. `count` is not used by the cubic ease.
    virtual void build(int i, int count, const double* x, const double* y, CubicSegment& out) const;

    // A segment is narrow, and read in its local form, when max(|x0|, |x1|) exceeds this many
    // times its width, or when only its local form is finite. The absolute form's error grows
    // with the cube of that ratio; measured over pieces of every length down to one float step
    // of the values, its worst error in a curve's mean is 2e-5 at a ratio of 32, 3e-4 at 64 and
    // 4e-3 at 128 (values of 0..1). 64 keeps it inside 1e-3 and leaves every curve whose
    // points are more than about 1.6 % of x apart exactly as it was.
    static constexpr double narrow_ratio = 64.0;

    SegmentBuilder(const SegmentBuilder&) = delete;
    SegmentBuilder& operator=(const SegmentBuilder&) = delete;

protected:
    SegmentBuilder() = default;
    ~SegmentBuilder() = default;
};
