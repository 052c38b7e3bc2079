#pragma once

// Double-precision 3-vector shared by the volume (gradients) and the renderer (camera math).
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    Vec3 add(const Vec3& v) const { return {x + v.x, y + v.y, z + v.z}; }
    Vec3 sub(const Vec3& v) const { return {x - v.x, y - v.y, z - v.z}; }
    Vec3 scaled(double s) const { return {x * s, y * s, z * s}; }
};
