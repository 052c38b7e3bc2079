#pragma once

#include "camera.h"
#include "drawable.h"
#include "frame_inputs.h"
#include "vec3.h"

#include <string>

class Scene;

// The direction in which grid axis `axis` (0 x, 1 y, 2 z) grows in the main view's world, for
// a grid drawn with `axis_scale`: the data volume holds the file's columns mirrored, so the
// file's x grows towards world -x; a negative factor flips its axis again.
Vec3 grid_axis_direction(int axis, const Vec3& axis_scale);

// A world direction as the main view shows it: `right` and `up` on the screen, `toward` the
// eye, for the camera's look-at (which may have its eye on either side of the target).
struct ScreenDirection {
    double right = 0.0;
    double up = 0.0;
    double toward = 0.0;
};
ScreenDirection screen_direction(const Camera& camera, const Vec3& world);

// Where the triad lies in a view of width x height pixels (origin bottom left): its centre in
// the lower left corner and the length of an arrow seen side on.
struct AxesLayout {
    static constexpr int margin = 10;
    static constexpr int arrow_length = 36;
    bool fits = false;
    double centre_x = 0.0;
    double centre_y = 0.0;
    static AxesLayout for_view(int width, int height);
};

// The orientation triad of the main view: an arrow along each grid axis, turning with the
// camera, in red (x), green (y) and blue (z), each labelled by its dimension's name when the
// grid names them (x, y and z otherwise). Draws nothing unless shown; without the scene's label
// maker it draws no text.
class OrientationAxes : public Drawable, public FrameSource {
public:
    void draw() override;
    void add_frame_inputs(FrameInputs& inputs) const override;

    // The colour of axis i's arrow and label.
    static constexpr unsigned char colours[3][3] = {{235, 70, 70}, {70, 215, 70}, {90, 140, 255}};
    // Axis i's label: the grid's dimension name, or "x", "y", "z".
    std::string label(int axis) const;

    const Scene* scene = nullptr; // not owned
    bool shown = false;
};
