#include "orientation_axes.h"

#include "label_maker.h"
#include "pixel_space.h"
#include "scene.h"

#include <algorithm>
#include <cmath>

Vec3 grid_axis_direction(int axis, const Vec3& axis_scale) {
    switch (axis) {
    case 0:
        return {axis_scale.x < 0.0 ? 1.0 : -1.0, 0.0, 0.0};
    case 1:
        return {0.0, axis_scale.y < 0.0 ? -1.0 : 1.0, 0.0};
    default:
        return {0.0, 0.0, axis_scale.z < 0.0 ? -1.0 : 1.0};
    }
}

namespace {

double dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

ScreenDirection screen_direction(const Camera& camera, const Vec3& world) {
    // The look-at puts the eye at target + distance * axis 0 with axis 2 up; its side axis,
    // the screen's right, is axis 1 while the distance is positive and -axis 1 past the target.
    const double side = camera.distance() < 0.0 ? -1.0 : 1.0;
    return {side * dot(world, camera.axis(1)), dot(world, camera.axis(2)),
            side * dot(world, camera.axis(0))};
}

AxesLayout AxesLayout::for_view(int width, int height) {
    AxesLayout l;
    const double reach = arrow_length + 16.0; // an arrow and its label
    l.centre_x = margin + reach;
    l.centre_y = margin + reach;
    l.fits = width >= 2 * (margin + reach) && height >= 2 * (margin + reach);
    return l;
}

std::string OrientationAxes::label(int axis) const {
    static const char* const plain[3] = {"x", "y", "z"};
    if (scene && !scene->description().axes[axis].name.empty())
        return scene->description().axes[axis].name;
    return plain[axis];
}

void OrientationAxes::draw() {
    if (!shown || !scene)
        return;
    int width = 0, height = 0;
    PixelSpace::viewport_size(width, height);
    const AxesLayout l = AxesLayout::for_view(width, height);
    if (!l.fits)
        return;
    const Camera& camera = scene->view_controller.camera;
    ScreenDirection d[3];
    int order[3] = {0, 1, 2};
    for (int i = 0; i < 3; ++i)
        d[i] = screen_direction(camera, grid_axis_direction(i, scene->axis_scale()));
    // The arrow farthest from the eye first, so nearer ones cross over it.
    std::stable_sort(order, order + 3, [&](int a, int b) { return d[a].toward < d[b].toward; });

    PixelSpace pixels(width, height);
    const double len = AxesLayout::arrow_length;
    glLineWidth(2.0f);
    for (const int i : order) {
        glColor3ub(colours[i][0], colours[i][1], colours[i][2]);
        const double tip_x = l.centre_x + len * d[i].right, tip_y = l.centre_y + len * d[i].up;
        glBegin(GL_LINES);
        glVertex2d(l.centre_x, l.centre_y);
        glVertex2d(tip_x, tip_y);
        glEnd();
        // A head: two short strokes back from the tip, when the arrow is long enough on screen.
        const double shown_len = std::hypot(d[i].right, d[i].up);
        if (shown_len > 0.2) {
            const double ux = d[i].right / shown_len, uy = d[i].up / shown_len;
            const double head = 7.0;
            glBegin(GL_LINES);
            for (const double s : {-1.0, 1.0}) {
                glVertex2d(tip_x, tip_y);
                glVertex2d(tip_x - head * ux - s * 0.5 * head * uy,
                           tip_y - head * uy + s * 0.5 * head * ux);
            }
            glEnd();
        }
    }
    if (const LabelMaker* labels = scene->label_maker) {
        for (const int i : order) {
            const LabelImage image = labels->make(label(i), colours[i]);
            if (image.empty())
                continue;
            const double reach = len + 9.0;
            const int x =
                static_cast<int>(std::lround(l.centre_x + reach * d[i].right - image.width / 2.0));
            const int y =
                static_cast<int>(std::lround(l.centre_y + reach * d[i].up - image.height / 2.0));
            if (x >= 0 && y >= 0 && x + image.width <= width && y + image.height <= height)
                PixelSpace::draw_pixels(x, y, image.width, image.height, image.rgba.data());
        }
    }
}

void OrientationAxes::add_frame_inputs(FrameInputs& inputs) const {
    inputs.add(shown);
    inputs.add(scene);
    if (!shown || !scene)
        return;
    inputs.add(scene->view_controller.camera);
    inputs.add(scene->axis_scale());
    inputs.add(scene->label_maker);
    for (int i = 0; i < 3; ++i) {
        const std::string name = label(i);
        inputs.add(name.size());
        for (const char c : name)
            inputs.add(c);
    }
}
