#pragma once

#include "cubic_segment.h"

// Computes a curve's cubic segments from its control points. Stateless; exactly one instance
// exists, created on the first call of instance() and never deleted.
class SegmentBuilder {
public:
    static SegmentBuilder& instance();

    // Writes segment i of the curve through the points (x, y): the cubic ease with zero slope
    // at both ends from the previous point (the origin for i = 0) to point i, expanded in the
    // absolute x. A segment of zero width (or one whose coefficients would not be finite) is
    // the constant at point i's value. `count` is not used by the cubic ease.
    virtual void build(int i, int count, const double* x, const double* y, CubicSegment& out) const;

    SegmentBuilder(const SegmentBuilder&) = delete;
    SegmentBuilder& operator=(const SegmentBuilder&) = delete;

protected:
    SegmentBuilder() = default;
    ~SegmentBuilder() = default;
};
