#pragma once

#include "pointer_probe.h"

#include <cmath>

// The plain way to the value under the pointer, for the tests and the benchmark: march along
// the ray in steps of `step` grid units (up to `reach` of them) and take the first box a step
// falls in whose opacity passes the threshold.
inline ProbeHit marched_probe(const Volume& v, const Vec3& scale, const ProbeRay& ray, double step,
                              double reach) {
    const Vec3& d = ray.direction;
    const double dt = step / std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    for (double t = 0.0; t < reach * dt / step; t += dt) {
        const Vec3 p = ray.origin.add(d.scaled(t));
        const int x = static_cast<int>(std::floor(p.x / scale.x + v.nx / 2.0 + 0.5));
        const int y = static_cast<int>(std::floor(p.y / scale.y + v.ny / 2.0 + 0.5));
        const int z = static_cast<int>(std::floor(p.z / scale.z + v.nz / 2.0 + 0.5));
        if (x < 0 || y < 0 || z < 0 || x >= v.nx || y >= v.ny || z >= v.nz)
            continue;
        if (v.samples[v.flat_index(x, y, z, 3)] > probe_opacity_threshold) {
            ProbeHit hit;
            hit.hit = true;
            hit.x = x;
            hit.y = y;
            hit.z = z;
            return hit;
        }
    }
    return {};
}
