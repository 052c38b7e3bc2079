#pragma once

#include "depth_extent.h"
#include "drawable.h"
#include "frame_inputs.h"
#include "shared_constants.h"
#include "view_projection.h"
#include "view_resource.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

// The toolkit-free half of a GL view: its draw list, its projection settings and record, and
// the frame sequence. The Qt window (CGLView) and the headless EGL view both draw through
// draw_frame, so both show the same picture for the same list.
//
// A frame saves all GL attributes and both matrices first and restores them at the end, and
// loads the identity before setting the perspective: no GL state survives from one frame to
// the next, so each frame draws what a freshly created context would.
class ViewFrame {
public:
    // One frame of width x height pixels into the current context: viewport, projection set-up,
    // the projection record refresh (when refresh_projection is set), then render. A client
    // area of height 0 (or less, or a negative width) draws nothing and changes nothing, the
    // projection record and `aspect` included; returns false then.
    bool draw_frame(int width, int height);

    // Clear colour black, depth test (LEQUAL), colour material, and a 45-degree perspective
    // width / height (in floating point) onto the current projection matrix; leaves the
    // model-view matrix mode selected.
    void setup_projection(int width, int height, double near, double far);

    // Copies aspect, field of view and near plane into `record`, and the camera when there is
    // one. Refuses (false, record unchanged) while projection_enabled or context_ok is false;
    // also false when projection_camera is null, after the numbers were written.
    bool refresh_view_projection(ViewProjection& record);

    // Clears colour and depth and draws every item of draw_list in order, each starting from
    // an identity model-view matrix.
    void render();

    // Records what a frame of width x height would depend on: the size, the projection
    // settings, the draw list, the revision and every drawable's inputs. False when a drawable
    // cannot name its inputs (it is not a FrameSource): such a view draws every frame.
    bool collect_frame_inputs(FrameInputs& inputs, int width, int height) const;

    // Tells the view that something it draws changed in a way its drawables cannot name (the
    // contents of a sample array, extra drawing of the owner's): the next frame is drawn.
    void invalidate() { ++revision_; }
    std::uint64_t revision() const { return revision_; }

    // The view whose frame is being drawn on this thread (inside draw_frame), or null: lets a
    // drawable keep GL objects in the context it draws into.
    static ViewFrame* current();
    // The resource a drawable (`owner`) keeps in this view's context, or null.
    ViewResource* resource(const void* owner) const;
    // Hands a drawable's resource to the view, replacing (and releasing) any it had.
    ViewResource* set_resource(const void* owner, std::unique_ptr<ViewResource> resource);
    // Releases every drawable's resources; needs this view's context current.
    void release_resources();
    // Drops every resource without touching GL: for a context that is already gone.
    void forget_resources() { resources_.clear(); }

    std::vector<Drawable*> draw_list; // drawn in index order; not owned
    bool context_ok = false;          // set by the owner once a context exists
    double aspect = 0.0;              // width / height of the last frame
    bool projection_enabled = false;
    double near_plane = default_near_plane;
    double far_plane = default_far_plane;
    // When set, each frame's planes are near_plane and far_plane widened to contain what it
    // draws (the main view's grid); the planes of the last frame are in frame_near/frame_far.
    const DepthExtent* depth_extent = nullptr; // not owned
    double frame_near = default_near_plane;
    double frame_far = default_far_plane;
    ViewProjection projection;
    bool refresh_projection = false;
    const Camera* projection_camera = nullptr; // not owned

protected:
    ViewFrame() = default;
    ~ViewFrame() = default;

private:
    std::uint64_t revision_ = 0;
    std::vector<std::pair<const void*, std::unique_ptr<ViewResource>>> resources_;
};
