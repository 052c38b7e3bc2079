#include "splat_shading.h"

#include "volume.h"

#include <cmath>

void shade_rgba(Volume& v, int x, int y, int z, SplatShade& s) {
    v.select_component(0);
    s.r = v.sample(x, y, z);
    v.select_component(1);
    s.g = v.sample(x, y, z);
    v.select_component(2);
    s.b = v.sample(x, y, z);
    v.select_component(3);
    s.a = v.sample(x, y, z);
}

void shade_scalar(const Volume& v, int x, int y, int z, const ScalarRamp& ramp, SplatShade& s) {
    const float value = v.sample(x, y, z);
    const auto level = static_cast<float>((value + ramp.std_dev - ramp.mean) * ramp.normaliser);
    const auto u = static_cast<float>((level - 0.5 - ramp.offset) * ramp.scale + 0.5);
    const float h = u > 1.0f ? 1.0f : u < 0.0f ? 0.0f : u * u * (3.0f - 2.0f * u);
    s.r = level;
    s.g = level;
    s.b = 1.0f - level;
    s.a = static_cast<float>(0.3 * h);
}

void shade_normal(const Volume& v, int x, int y, int z, SplatShade& s) {
    const Vec3 g = v.gradient_at(x, y, z);
    const double length_squared = g.x * g.x + g.y * g.y + g.z * g.z;
    if (length_squared > 0.0) {
        const double length = std::sqrt(length_squared);
        s.nx = -g.x / length;
        s.ny = -g.y / length;
        s.nz = -g.z / length;
    } else {
        s.nx = -g.x;
        s.ny = -g.y;
        s.nz = -g.z;
    }
}
