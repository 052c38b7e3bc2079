#include "view_controller.h"

#include <GL/gl.h>

bool ViewController::on_mouse(int flags, double x, double y) {
    const int held = last_buttons & flags;
    if (held & 2) {
        const double d = camera.distance();
        camera.add_distance((d + 1.0) * (y - last_y));
    }
    if (held & 1) {
        const Mat3 a = Mat3::axis_rotation(drag_y_axis, (y - last_y) * drag_y_scale);
        const Mat3 b = Mat3::axis_rotation(drag_x_axis, (x - last_x) * drag_x_scale);
        camera.rotate_left(a);
        camera.rotate_right(b);
    }
    last_buttons = flags;
    last_x = x;
    last_y = y;
    return true;
}

void ViewController::draw() {
    if (lighting_enabled) {
        const GLfloat position[4] = {0.0f, 0.0f, 1.0f, 0.0f};
        const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
        const GLfloat diffuse[4] = {0.7f, 0.7f, 0.7f, 1.0f};
        const GLfloat specular[4] = {0.9f, 0.9f, 0.9f, 1.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
    }
    camera.look_at();
}

void ViewController::add_frame_inputs(FrameInputs& inputs) const {
    inputs.add(camera);
    inputs.add(lighting_enabled);
}
