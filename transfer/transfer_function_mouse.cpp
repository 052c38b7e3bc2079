#include "transfer_function.h"

#include <cmath>

// Mouse editing in the panel. flags bit 1 is the left button, bit 2 the right; (mouse_x,
// mouse_y) are fractions of the panel's width and height from its top-left corner.
//
// Left button: continue dragging the held point, or pick the point within pick_radius of the
// cursor along x, or insert a new point there, and hold it. A held point dragged past a
// neighbour absorbs it: past the left neighbour the neighbour is removed, past the right one
// the held point itself is removed and the neighbour takes over the hold. Right button:
// delete the point under the cursor. The last point (1.0, 0.0) never moves and is never
// deleted; positions at u >= 1 release the hold and edit nothing.
bool TransferFunction::on_mouse(int flags, double mouse_x, double mouse_y) {
    const bool left = (flags & 1) != 0;
    const bool right = (flags & 2) != 0;
    if (!left && !right) {
        dragging = false;
        return false;
    }

    // Before the panel's first paint its projection has no camera and there is no meaningful
    // ray: the event is ignored altogether.
    PickRay ray;
    if (!projection || !projection->unproject(1.0 - 2.0 * mouse_x, 2.0 * mouse_y - 1.0, ray))
        return false;

    segments_built = false;

    // Where the ray meets the plane x = 0, in curve coordinates.
    const Vec3& d = ray.direction;
    const double u = 0.5 - d.y / d.x;
    const double v = 0.5 - d.z / (d.x * vertical_scale);

    if (!(u < 1.0)) {
        dragging = false;
    } else {
        if (left) {
            if (dragging && selected >= 0 && selected < count - 1) {
                const int s = selected;
                const double lo = s > 0 ? x[s - 1] : 0.0;
                const double hi = x[s + 1];
                if (u < lo && s > 0) {
                    remove(s - 1);
                    selected = s - 1;
                } else if (u > hi) {
                    remove(s);
                } else {
                    set_point(s, u, v);
                }
            } else {
                const int i = find(u - pick_radius);
                if (i < count && std::fabs(x[i] - u) <= pick_radius)
                    selected = i;
                else
                    selected = insert(u, v);
            }
            dragging = true;
        } else {
            dragging = false;
        }
        if (right) {
            const int i = find(u - pick_radius);
            if (i < count && std::fabs(x[i] - u) <= pick_radius)
                remove(i);
        }
    }

    if (listener)
        listener->changed();
    return false;
}
