#pragma once

#include "camera.h"
#include "grid_description.h"
#include "vec3.h"
#include "volume.h"

#include <cstdint>
#include <string>

// The value under the pointer: the first grid point along the ray from the eye through a point
// of the main view whose classified opacity exceeds a small threshold. The grid is drawn as
// boxes of one grid unit centred on the grid points, stretched by the axis scale and centred
// on the origin (the splat renderer's placement), so the ray is walked box by box through
// that grid. No GL: it reads the camera and the volumes only, and never draws.

// Colour-volume opacity a grid point must pass to be picked (the stored opacity, 0..1).
constexpr float probe_opacity_threshold = 0.02f;

// A ray in world coordinates; `direction` need not be unit length.
struct ProbeRay {
    Vec3 origin;
    Vec3 direction;
};

// The ray from `camera`'s eye through the view point (fx, fy): fractions of the view's width
// from its left edge and of its height from its top edge, in a view of the given aspect (width
// over height) and vertical field of view in radians. False when the eye sits on its target.
bool pointer_ray(const Camera& camera, double aspect, double fov, double fx, double fy,
                 ProbeRay& ray);

struct ProbeHit {
    bool hit = false;
    int x = 0, y = 0, z = 0; // indices in the loaded volumes (mirrored along x)
    double t = 0.0;          // where the ray enters the grid point's box, in direction units
};

// The first grid point of `colour` (an RGBA volume) along `ray` with opacity above
// `threshold`, the grid stretched by `axis_scale`. No hit for a ray that misses the grid or
// meets only points at or below the threshold.
ProbeHit probe_grid(const Volume& colour, const Vec3& axis_scale, const ProbeRay& ray,
                    float threshold = probe_opacity_threshold);

// What a person reads about a picked grid point: its indices as the file counts them, its
// coordinates when the description has them, each component's value ("missing" for a point
// without data) and its colour, for example
// "x 20 y 44 z 1 (LON 40.5 degrees_east, LAT -1.5 degrees_north, DEPTH 5 m): 26.1 25.9 ...;
// colour 0.71 0.33 0.12, opacity 0.40". Empty without a hit.
std::string probe_words(const ProbeHit& hit, const Volume& data, const Volume& colour,
                        const GridDescription& description);
