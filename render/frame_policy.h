#pragma once

// Decides how a view draws its next frame (for the main view: how coarse), and learns how long
// frames take. The view calls before_frame before it compares its inputs with those of its
// last frame, so a changed choice makes it draw; after_frame follows every frame drawn.
class FramePolicy {
public:
    // `interacting`: a mouse button is held in the view, or its owner asked for a frame that
    // answers an ongoing edit.
    virtual void before_frame(bool interacting) = 0;
    // The seconds the frame took, finished (glFinish) but not composed.
    virtual void after_frame(double seconds) = 0;

protected:
    FramePolicy() = default;
    FramePolicy(const FramePolicy&) = default;
    FramePolicy& operator=(const FramePolicy&) = default;
    ~FramePolicy() = default;
};
