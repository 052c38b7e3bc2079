#pragma once

#include "vec3.h"

// Row-major 3x3 matrix of doubles; m[r][c] is row r, column c. Construction leaves the entries
// uninitialised: the owner calls set_identity or assigns a built matrix.
struct Mat3 {
    double m[3][3];

    void set_identity();

    // Row i (0..2) as a vector.
    Vec3 row(int i) const { return {m[i][0], m[i][1], m[i][2]}; }

    // v.x * row 0 + v.y * row 1 + v.z * row 2: the row vector v times this matrix.
    Vec3 weighted_rows(const Vec3& v) const;

    // The ordinary product a x b.
    static Mat3 product(const Mat3& a, const Mat3& b);

    // The identity with the (i, j) plane turned by `angle` radians:
    // m[i][i] = m[j][j] = cos, m[i][j] = -sin, m[j][i] = sin.
    static Mat3 plane_rotation(int i, int j, double angle);

    // Right-handed rotation of column vectors about axis k (0 x, 1 y, 2 z).
    static Mat3 axis_rotation(int k, double angle);
};
