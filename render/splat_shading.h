#pragma once

#include "vec3.h"

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

// The colour-volume path: components 0..3 are red, green, blue and opacity; leaves component 3
// selected.
void shade_rgba(Volume& v, int x, int y, int z, SplatShade& s);

// The scalar path: the current component through the blue-to-yellow ramp (colour unclamped),
// opacity 0.3 times a smooth step.
void shade_scalar(const Volume& v, int x, int y, int z, const ScalarRamp& ramp, SplatShade& s);

// The unit normal against the gradient at the point; a zero gradient gives (-0, -0, -0).
void shade_normal(const Volume& v, int x, int y, int z, SplatShade& s);
