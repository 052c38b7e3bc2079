#pragma once

#include "camera.h"
#include "drawable.h"
#include "frame_inputs.h"
#include "mouse_listener.h"

#include <cstdint>

// The main view's camera and what drives it. As the first drawable of the view it sets up a
// light fixed to the viewer and multiplies in the camera's look-at; as the view's mouse
// listener it rotates the camera with left-button drags and zooms it with right-button drags.
class ViewController : public MouseListener, public Drawable, public FrameSource {
public:
    ViewController() = default;
    virtual ~ViewController() = default;

    // A drag acts from the second event with the button down: a button counts only when it
    // was down at the previous event too. Zoom (right) before rotation (left). Always true.
    bool on_mouse(int flags, double x, double y) override;

    // With lighting_enabled, sets and enables GL_LIGHT0 and GL_LIGHTING while the model-view
    // matrix is still the identity (so the light shines along the view direction from behind
    // the eye); then always the camera's look-at.
    void draw() override;
    // The camera and the lighting switch; the drag state draws nothing.
    void add_frame_inputs(FrameInputs& inputs) const override;

    Camera camera;
    std::int32_t last_buttons = 0; // flags of the previous event
    double last_x = 0.0;           // position of the previous event, window-relative
    double last_y = 0.0;
    std::int32_t drag_y_axis = 1;  // axis (0 x, 1 y, 2 z) of the rotation vertical motion drives
    std::int32_t drag_x_axis = 2;  // axis of the rotation horizontal motion drives
    std::int32_t drag_y_scale = 1; // radians per window height
    std::int32_t drag_x_scale = 1; // radians per window width
    bool lighting_enabled = false;
};
