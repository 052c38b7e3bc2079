#include "camera_fit.h"

#include <algorithm>
#include <cmath>

#include "shared_constants.h"

namespace {
const double near_plane = default_near_plane;

double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
} // namespace

double fit_distance(const Camera& camera, const int extents[3], double aspect,
                    const Vec3& axis_scale, double margin) {
    const double tan_v = std::tan(field_of_view / 2.0) * (1.0 - margin);
    const double tan_h = tan_v * (aspect > 0.0 ? aspect : 1.0);
    // From the target towards the eye; a zoom through the target puts the eye behind it.
    const Vec3 eye_axis = camera.axis(0).scaled(camera.distance() < 0.0 ? -1.0 : 1.0);
    const Vec3 side = camera.axis(1);
    const Vec3 up = camera.axis(2);
    double distance = 0.0;
    // The grid point i lies at i - n/2 and its box reaches half a unit beyond it.
    for (int corner = 0; corner < 8; ++corner) {
        Vec3 p;
        double* c[3] = {&p.x, &p.y, &p.z};
        for (int a = 0; a < 3; ++a) {
            const double n = std::max(extents[a], 0);
            *c[a] = (corner >> a) & 1 ? n / 2.0 - 0.5 : -n / 2.0 - 0.5;
        }
        p = Vec3{p.x * axis_scale.x, p.y * axis_scale.y, p.z * axis_scale.z};
        // The eye must be far enough beyond this corner's depth that its sideways and upward
        // offsets fall inside the field of view, and the corner beyond the near plane.
        const Vec3 q = p.sub(camera.target);
        const double needed =
            std::max({std::fabs(dot(q, side)) / tan_h, std::fabs(dot(q, up)) / tan_v, near_plane});
        const double depth = dot(q, eye_axis);
        distance = std::max(distance, depth + needed);
    }
    return distance;
}
