#pragma once

#include "vec3.h"

// The ray through a mouse position: a direction (not normalised) and its origin on the near
// plane.
struct PickRay {
    Vec3 direction{0.0, 0.0, 1.0};
    Vec3 origin;
};
