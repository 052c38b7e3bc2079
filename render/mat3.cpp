#include "mat3.h"

#include <cmath>

void Mat3::set_identity() {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m[r][c] = r == c ? 1.0 : 0.0;
}

Vec3 Mat3::weighted_rows(const Vec3& v) const {
    return row(0).scaled(v.x).add(row(1).scaled(v.y)).add(row(2).scaled(v.z));
}

Mat3 Mat3::product(const Mat3& a, const Mat3& b) {
    Mat3 p;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k)
                sum += a.m[r][k] * b.m[k][c];
            p.m[r][c] = sum;
        }
    return p;
}

Mat3 Mat3::plane_rotation(int i, int j, double angle) {
    Mat3 r;
    r.set_identity();
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    r.m[i][i] = c;
    r.m[j][j] = c;
    r.m[i][j] = -s;
    r.m[j][i] = s;
    return r;
}

Mat3 Mat3::axis_rotation(int k, double angle) {
    return plane_rotation((k + 1) % 3, (k + 2) % 3, angle);
}
