#include "transfer_function.h"

#include "shared_constants.h"

#include <GL/gl.h>

// The curve in its panel: world y = (x - 0.5) * span and world z = (value - 0.5) *
// vertical_scale * span (span: panel_curve_span) in the plane x = 0, seen from `camera`.
// Starts at the origin's vertex,
// then about 20 evenly spaced vertices per segment. The running t is not reset between
// segments, so a segment that ends at or before the t left by the previous one draws nothing.
void TransferFunction::draw() {
    update_segments();
    glPushMatrix();
    camera.look_at();
    glColor3d(colour.r, colour.g, colour.b);
    glBegin(GL_LINE_STRIP);
    glVertex3d(0.0, -0.5 * panel_curve_span, -0.5 * panel_curve_span * vertical_scale);
    double t = 0.0;
    for (int i = 0; i < count; ++i) {
        // A narrow segment is evaluated in its local variable, every other one in t itself.
        const CubicSegment& segment = segments[i];
        const double* c = segment.narrow ? segment.local : segment.coefficients;
        const double origin = segment.narrow ? segment.start : 0.0;
        const double step = (x[i] - t) * 0.05;
        while (t < x[i]) {
            const double v = t - origin;
            const double p = c[0] + c[1] * v + c[2] * v * v + c[3] * v * v * v;
            glVertex3d(0.0, (t - 0.5) * panel_curve_span,
                       (p - 0.5) * vertical_scale * panel_curve_span);
            const double next = t + step;
            // A step too small to move t (a point a hair beyond the running t) would never end.
            if (!(next > t))
                break;
            t = next;
        }
    }
    glEnd();
    glPopMatrix();
    pick_camera = camera;
}

void TransferFunction::add_frame_inputs(FrameInputs& inputs) const {
    inputs.add(count);
    for (int i = 0; i < count && i < capacity; ++i) {
        inputs.add(x[i]);
        inputs.add(y[i]);
    }
    // A frame rebuilds stale segments from the points; built ones are drawn as they are.
    inputs.add(segments_built);
    inputs.add(builder);
    if (segments_built)
        for (int i = 0; i < count && i < capacity; ++i) {
            const CubicSegment& s = segments[i];
            for (int m = 0; m < 4; ++m) {
                inputs.add(s.coefficients[m]);
                inputs.add(s.local[m]);
            }
            inputs.add(s.start);
            inputs.add(s.narrow);
        }
    inputs.add(camera);
    inputs.add(colour.r);
    inputs.add(colour.g);
    inputs.add(colour.b);
    inputs.add(vertical_scale);
}
