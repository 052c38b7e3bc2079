#pragma once

#include "camera.h"

// The distance from the camera's target at which the whole box of an nx x ny x nz grid, drawn
// centred on the target as the splat renderer draws it (each grid point's box one unit wide,
// all stretched by `axis_scale`), fits a view with a 45 degree vertical field of view and the
// given width / height, seen from the camera's current direction, with `margin` (a fraction of
// the view) left free around it.
// Never closer than the near plane allows. The result is positive: the eye stays on the side
// of the target it is on.
double fit_distance(const Camera& camera, const int extents[3], double aspect,
                    const Vec3& axis_scale = Vec3{1.0, 1.0, 1.0}, double margin = 0.05);
