#pragma once

#include "frame_policy.h"
#include "splat_renderer.h"

#include <cstdint>

// Level of detail for the main view: while the user interacts, and only when a frame at the
// owner's steps would take longer than the budget, the frame is drawn with the splat
// renderer's steps raised just enough for it to fit, one axis at a time, with each splat's
// opacity corrected for the coarser step. The level reaches the renderer as its `detail`; the
// owner's steps and settings are never touched, so any other frame is drawn exactly as
// without this policy, as is every frame while it is switched off.
//
// Frame times come from the frames the view has drawn. A full frame's time decides whether to
// go coarse at all; the coarse levels share one scale, a running mean of each coarse frame's
// time over its level's relative cost, so that one slow frame (another program, a page fault)
// does not pin a level down.
class InteractiveDetail : public FramePolicy {
public:
    static constexpr int levels = 14;
    // Level 0 is the owner's own steps; level i multiplies them by these factors.
    static constexpr SplatRenderer::Detail factors[levels] = {
        {1, 1, 1}, {2, 1, 1}, {2, 2, 1}, {2, 2, 2}, {3, 2, 2}, {3, 3, 2}, {3, 3, 3},
        {4, 3, 3}, {4, 4, 3}, {4, 4, 4}, {5, 5, 4}, {5, 5, 5}, {6, 6, 6}, {8, 8, 8}};

    explicit InteractiveDetail(SplatRenderer* r = nullptr) : renderer(r) {}

    void before_frame(bool interacting) override;
    void after_frame(double seconds) override;

    // Switching off puts the owner's steps back at the next frame.
    void set_enabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }

    // The level of the frame last prepared: 0 is full detail.
    int level() const { return level_; }
    // The last full frame's time, 0 before the first.
    double full_seconds() const { return full_seconds_; }
    // The time expected for a frame at a level; 0 before any frame was drawn.
    double estimate(int level) const;
    // The level for a step that spends before[level] seconds ahead of its frame at each level
    // (playback classifying only the grid points that level draws): the finest whose frame
    // and work together fit the part of the budget a frame gets. Chooses as before_frame does:
    // full detail unless that is known to exceed it.
    int plan(const double (&before)[levels]) const;
    // The next interactive frame takes this level whatever its budget says; a frame that is
    // not interactive, or the policy switched off, drops it.
    void pin_next(int level) { pinned_ = level; }

    SplatRenderer* renderer = nullptr; // not owned
    // While set, a frame that is not interactive keeps the level of the frame before instead
    // of going back to full detail (a pointer moving over the view while playback shows
    // coarse frames of colours that are whole only where those frames draw).
    bool hold_coarse = false;
    double budget_seconds = 0.1;
    // Time the current step has already taken before its frame (a classification): the next
    // interactive frame gets the rest of the budget. Reset by each frame.
    double spent_seconds = 0.0;

private:
    void apply(int level);
    int choose(double budget) const;

    bool enabled_ = true;
    int level_ = 0;
    int pinned_ = -1;
    double full_seconds_ = 0.0;
    double coarse_scale_ = 0.0; // seconds per unit of relative cost; 0 before a coarse frame
};
