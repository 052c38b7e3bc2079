#pragma once

// One piece of a curve: y = c0 + c1*x + c2*x^2 + c3*x^3 in the absolute normalised value x,
// constant term first. A new segment is the zero polynomial.
struct CubicSegment {
    double coefficients[4] = {0.0, 0.0, 0.0, 0.0};
};
