#include "camera.h"

#include <GL/glu.h>

void Camera::look_at() const {
    const Vec3 e = eye();
    const Vec3 up = axis(2);
    gluLookAt(e.x, e.y, e.z, target.x, target.y, target.z, up.x, up.y, up.z);
}
