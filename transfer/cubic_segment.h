#pragma once

// One piece of a curve: y = c0 + c1*x + c2*x^2 + c3*x^3 in the absolute normalised value x,
// constant term first. A new segment is the zero polynomial.
//
// The builder also records the same cubic in the local variable v = x - start, start being
// where the segment began when it was built: local = (y0, 0, 3d / w^2, -2d / w^3) for a
// segment of width w that rises by d. In the absolute form the coefficients of a segment much
// narrower than its distance from 0 grow like (x / w)^3 and cancel each other, so its values
// and integrals lose most of their digits (a segment 1e-6 wide near x = 1 gives colours off by
// thousands). Readers evaluate a `narrow` segment in v and every other one in x, where the
// absolute form is exact enough and its results stay as they always were.
struct CubicSegment {
    double coefficients[4] = {0.0, 0.0, 0.0, 0.0};
    double start = 0.0;
    double local[4] = {0.0, 0.0, 0.0, 0.0};
    bool narrow = false;
};
