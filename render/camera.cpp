#include "camera.h"

#include <cmath>

Camera default_camera;

void Camera::set_distance(double d) {
    eye_offset.x = std::fabs(d);
}
