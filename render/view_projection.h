#pragma once

#include "camera.h"
#include "pick_ray.h"

// The projection parameters a view publishes for picking. A view refreshes the numbers at each
// frame while its switches allow; until then they mean nothing and `camera` is null.
struct ViewProjection {
    // Fills `ray` with the ray through the normalised view point (nx, ny): nx along the
    // camera's side axis, ny along its up axis (the caller picks their screen directions).
    // Returns false and leaves `ray` untouched when there is no camera.
    bool unproject(double nx, double ny, PickRay& ray) const;

    double aspect = 0.0;            // client width / height
    double fov = 0.0;               // vertical field of view, radians
    double tan_half_fov = 0.0;      // tan(fov / 2)
    double near = 0.0;              // near-plane distance
    const Camera* camera = nullptr; // not owned
};
