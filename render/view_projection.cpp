#include "view_projection.h"

bool ViewProjection::unproject(double nx, double ny, PickRay& ray) const {
    if (!camera)
        return false;
    Vec3 d{1.0, nx * tan_half_fov * aspect, ny * tan_half_fov};
    // A camera with a positive distance looks along -row 0; 0 and NaN keep +row 0.
    if (camera->distance() > 0.0)
        d = d.scaled(-1.0);
    ray.direction = camera->to_world(d);
    ray.origin = camera->eye().add(ray.direction.scaled(near));
    return true;
}
