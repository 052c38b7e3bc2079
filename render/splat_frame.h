#pragma once

#include "splat_shading.h"
#include "vec3.h"

#include <cstdint>

class Volume;

// Everything that holds for one whole draw of the splat renderer.
struct SplatFrame {
    Volume* volume;
    bool rgba;
    int n[3];
    int step[3];
    Vec3 eye;                 // the eye in grid coordinates (grid point (x, y, z) sits at x, y, z)
    std::int64_t eye_cell[3]; // the eye's cell: its coordinates truncated
    int view_bits;
    ScalarRamp ramp;
    double layers = 1.0; // splat opacities are corrected for this many layers when not 1
    // Leave out splats with opacity 0 (or below) at the centre and the rim.
    bool skip_transparent = false;
};
