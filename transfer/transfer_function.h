#pragma once

#include "camera.h"
#include "change_listener.h"
#include "cubic_segment.h"
#include "drawable.h"
#include "frame_inputs.h"
#include "mouse_listener.h"
#include "segment_builder.h"
#include "view_projection.h"

#include <cstdint>

// The colour of a drawn curve.
struct CurveColour {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

// One channel of the colour mapping: a curve over the normalised value [0, 1] through at most
// 20 control points in ascending x. It starts at the implicit origin (0, 0) and always ends
// with the point (1.0, 0.0) present at construction, which can never be removed or moved.
// Segment i is the cubic ease from point i - 1 (the origin for i = 0) to point i.
//
// It draws itself in its editor panel (Drawable) and edits its points from the panel's mouse
// movement (MouseListener). Segments are rebuilt only by update_segments, which draw calls
// first; every other reader sees the segments of the last paint.
//
// Revision: a number that changes whenever the points (count, x, y) or the segments change,
// which is all that classification, the undo history and a histogram's curve overlay read of a
// curve. Every operation here that changes them (insert, remove, set_point, assign_points,
// on_mouse, and update_segments when it rebuilds different segments) takes a new number from
// one counter shared by all curves, so two curves with the same revision hold the same points
// and segments: a copy carries its original's revision, and new curves all start at 0. Code
// that writes the fields directly must call mark_changed() afterwards (or clear segments_built
// and call update_segments, which notices changed segments); comparing revisions then tells
// whether anything a reader depends on changed since it last looked.
class TransferFunction : public Drawable, public MouseListener, public FrameSource {
public:
    static constexpr int capacity = 20;

    TransferFunction();
    virtual ~TransferFunction();
    TransferFunction(const TransferFunction&) = default;
    TransferFunction& operator=(const TransferFunction&) = default;

    // Draws the curve as a line strip in the panel's frame (transfer_function_draw.cpp).
    void draw() override;
    // The points, the segments as they stand, the panel's camera, colour and scale.
    void add_frame_inputs(FrameInputs& inputs) const override;

    // Picks, inserts, drags and deletes points; see transfer_function_mouse.cpp. Returns false.
    bool on_mouse(int flags, double x, double y) override;

    // Copies camera into pick_camera and returns pick_camera's address, for the panel's
    // projection record.
    Camera* pick_snapshot();

    // The lowest index i < count with key <= x[i] (or with an unordered comparison); count
    // when there is none.
    int find(double key) const;

    // Inserts (px, py) in front of the first point at or beyond px. Returns the new index, or
    // -1 on a full curve (nothing changes).
    int insert(double px, double py);

    // Removes point i. Returns i, or -1 when i < 0 or i is the last point (nothing changes).
    int remove(int i);

    // Moves point i (not the last one) to (px, py) as given, marking the segments for
    // rebuilding. Returns false (nothing changes) for an index out of range or the last point.
    bool set_point(int i, double px, double py);

    // Replaces all points with the n points (px, py), n from 1 to capacity, taken as given,
    // marking the segments for rebuilding. Returns false (nothing changes) for another n.
    bool assign_points(int n, const double* px, const double* py);

    // Rebuilds the segments when segments_built is false; sets it.
    void update_segments();

    // The curve's revision (see above).
    std::uint64_t revision() const { return revision_; }

    // Gives the curve a new revision, for code that has written its fields directly.
    void mark_changed();

    int count = 1;
    double x[capacity] = {1.0};
    double y[capacity] = {0.0};
    CubicSegment segments[capacity];
    const SegmentBuilder* builder = nullptr; // the shared builder, fetched on first update
    bool segments_built = false;
    Camera camera;      // the panel's frame: distance 150 after construction
    Camera pick_camera; // camera as of the last draw; mouse positions unproject through it
    CurveColour colour;
    double vertical_scale = 1.0;
    const ViewProjection* projection = nullptr; // the panel's record; not owned
    ChangeListener* listener = nullptr;         // told after button events; not owned
    bool dragging = false;
    int selected = -1; // the held point, -1 for none
    double pick_radius = 0.05;

private:
    std::uint64_t revision_ = 0;
    int built_count_ = 0; // count when the segments were last built
};
