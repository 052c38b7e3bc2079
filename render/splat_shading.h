#pragma once

#include "vec3.h"
#include "volume.h"

#include <cmath>

#include <cstdint>

class Volume;

// The colour and normal of one splat, exactly as they are handed to GL.
struct SplatShade {
    float r, g, b, a;
    double nx, ny, nz;
};

// Per-draw constants of the scalar colour path.
struct ScalarRamp {
    double normaliser; // 0.5 / std-dev
    double mean;
    double std_dev;
    double offset;
    double scale;
};

// Reads a splat's inputs through the volume's virtual interface, call for call as the
// reference path does.
struct VirtualReader {
    Volume& volume;
    void shade(bool rgba, int x, int y, int z, const ScalarRamp& ramp, SplatShade& s);
    void begin(bool) {}
    void end(bool, std::int64_t) {}
};

// Reads a plain Volume's sample array directly: the same values as VirtualReader, without the
// nine virtual calls per grid point. Only for an object whose dynamic type is Volume itself.
struct ArrayReader {
    Volume& volume;
    int original_component = 0;
    void shade(bool rgba, int x, int y, int z, const ScalarRamp& ramp, SplatShade& s);
    // The colour path's normals are gradients of component 3, which the reference leaves
    // selected after the first grid point; an empty traversal leaves the component alone.
    void begin(bool rgba);
    void end(bool rgba, std::int64_t visited);
};

// The colour-volume path: components 0..3 are red, green, blue and opacity; leaves component 3
// selected.
void shade_rgba(Volume& v, int x, int y, int z, SplatShade& s);

// The scalar path: the current component through the blue-to-yellow ramp (colour unclamped),
// opacity 0.3 times a smooth step.
void shade_scalar(const Volume& v, int x, int y, int z, const ScalarRamp& ramp, SplatShade& s);

// The scalar ramp's colour and opacity for one sample value.
inline void scalar_colour(float value, const ScalarRamp& ramp, SplatShade& s) {
    const auto level = static_cast<float>((value + ramp.std_dev - ramp.mean) * ramp.normaliser);
    const auto u = static_cast<float>((level - 0.5 - ramp.offset) * ramp.scale + 0.5);
    const float h = u > 1.0f ? 1.0f : u < 0.0f ? 0.0f : u * u * (3.0f - 2.0f * u);
    s.r = level;
    s.g = level;
    s.b = 1.0f - level;
    s.a = static_cast<float>(0.3 * h);
}

// How many splats of step 1 a ray along `eye_axis` crosses for each splat of steps (sx, sy, sz):
// the lattice planes it crosses per unit length, sum |d_i|, over those of the coarse lattice,
// sum |d_i| / s_i. 1 for steps 1; the cube root of the block's volume for a zero axis.
inline double splat_layers(const Vec3& eye_axis, int sx, int sy, int sz) {
    const double ax = std::fabs(eye_axis.x), ay = std::fabs(eye_axis.y), az = std::fabs(eye_axis.z);
    const double coarse = ax / sx + ay / sy + az / sz;
    if (!(coarse > 0.0) || !std::isfinite(coarse))
        return std::cbrt(static_cast<double>(sx) * sy * sz);
    return (ax + ay + az) / coarse;
}

// The opacity of `layers` splats of opacity a seen through one another: 1 - (1 - a)^layers.
// Opacities outside (0, 1) stay as they are (GL clamps those above 1).
inline float layered_opacity(float a, double layers) {
    if (!(a > 0.0f && a < 1.0f))
        return a;
    return static_cast<float>(1.0 - std::pow(1.0 - static_cast<double>(a), layers));
}

// The unit normal against the gradient g; a zero gradient gives (-0, -0, -0).
inline void normal_from_gradient(const Vec3& g, SplatShade& s) {
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

// The unit normal against the gradient at the point; a zero gradient gives (-0, -0, -0).
void shade_normal(const Volume& v, int x, int y, int z, SplatShade& s);

inline void ArrayReader::shade(bool rgba, int x, int y, int z, const ScalarRamp& ramp,
                               SplatShade& s) {
    if (rgba) {
        const float* p = volume.samples + volume.flat_index(x, y, z, 0);
        s.r = p[0];
        s.g = p[1];
        s.b = p[2];
        s.a = p[3];
    } else {
        const float value = volume.samples[volume.flat_index(x, y, z, volume.component)];
        scalar_colour(value, ramp, s);
    }
    normal_from_gradient(volume.gradient_at_index(x, y, z), s);
}
