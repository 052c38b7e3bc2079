// "View From": the camera turned to look along a grid axis.
#include "scene.h"

namespace {

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

} // namespace

void Scene::view_from(int axis, bool positive) {
    if (axis < 0 || axis > 2)
        return;
    Camera& camera = view_controller.camera;
    const Vec3 along = grid_axis_direction(axis, axis_scale()).scaled(positive ? 1.0 : -1.0);
    // Up on the screen: the world's z as the grid is drawn (its surface on top even when
    // flipped), or for a view along z the grid's y axis.
    const Vec3 up = axis == 2 ? grid_axis_direction(1, axis_scale()) : Vec3{0.0, 0.0, 1.0};
    // The rows are the eye axis, the side axis and the up axis, a rotation: side = up x eye.
    const Vec3 rows[3] = {along, cross(up, along), up};
    for (int r = 0; r < 3; ++r) {
        camera.orientation.m[r][0] = rows[r].x;
        camera.orientation.m[r][1] = rows[r].y;
        camera.orientation.m[r][2] = rows[r].z;
    }
    // The eye on the `along` side: a distance past the target is taken as its length.
    camera.set_distance(camera.distance());
}
