#include "camera.h"

#include <algorithm>
#include <cmath>

Camera default_camera;

void Camera::set_distance(double d) {
    eye_offset.x = std::fabs(d);
}

// The orientation is R1(tilt) R0(turn) R2(spin); written out, its last column is
// (sin tilt cos turn, -sin turn, cos tilt cos turn) and its middle row starts with
// (cos turn sin spin, cos turn cos spin).
void Camera::tilt_turn_spin(double& tilt, double& turn, double& spin) const {
    const double(&o)[3][3] = orientation.m;
    turn = std::asin(std::clamp(-o[1][2], -1.0, 1.0));
    tilt = std::atan2(o[0][2], o[2][2]);
    spin = std::atan2(o[1][0], o[1][1]);
}
