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
    scalar_colour(v.sample(x, y, z), ramp, s);
}

void shade_normal(const Volume& v, int x, int y, int z, SplatShade& s) {
    normal_from_gradient(v.gradient_at(x, y, z), s);
}

void VirtualReader::shade(bool rgba, int x, int y, int z, const ScalarRamp& ramp, SplatShade& s) {
    if (rgba)
        shade_rgba(volume, x, y, z, s);
    else
        shade_scalar(volume, x, y, z, ramp, s);
    shade_normal(volume, x, y, z, s);
}

void ArrayReader::begin(bool rgba) {
    original_component = volume.component;
    if (rgba)
        volume.component = 3;
}

void ArrayReader::end(bool rgba, std::int64_t visited) {
    if (rgba && visited == 0)
        volume.component = original_component;
}
