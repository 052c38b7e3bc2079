#include "interactive_detail.h"

#include <algorithm>
#include <cmath>

namespace {

double blocks(const SplatRenderer::Detail& s) {
    return static_cast<double>(s.x) * s.y * s.z;
}

// How a frame's time falls as the steps grow: the splats fall with the block volume, while
// each one covers more pixels; measured frames correct the estimate.
double relative_cost(int level) {
    return std::pow(blocks(InteractiveDetail::factors[level]), -0.75);
}

} // namespace

double InteractiveDetail::estimate(int level) const {
    if (level == 0)
        return full_seconds_;
    const double scale = coarse_scale_ > 0.0 ? coarse_scale_ : full_seconds_;
    return scale * relative_cost(level);
}

int InteractiveDetail::choose(double budget) const {
    // Coarse only when a full frame is known to exceed the budget.
    if (!(full_seconds_ > budget))
        return 0;
    for (int level = 1; level < levels; ++level) {
        // Going finer than the level shown asks for some room, so that noise in the frame
        // times does not make the picture flicker between two levels.
        const double room = level < level_ ? 0.8 : 1.0;
        if (estimate(level) <= budget * room)
            return level;
    }
    return levels - 1;
}

int InteractiveDetail::plan(const double (&before)[levels]) const {
    const double budget = 0.75 * budget_seconds;
    if (!enabled_ || !(full_seconds_ + before[0] > budget))
        return 0;
    for (int level = 1; level < levels; ++level) {
        const double room = level < level_ ? 0.8 : 1.0;
        if (estimate(level) + before[level] <= budget * room)
            return level;
    }
    return levels - 1;
}

void InteractiveDetail::before_frame(bool interacting) {
    double budget = budget_seconds - spent_seconds;
    spent_seconds = 0.0;
    const int pinned = pinned_;
    pinned_ = -1;
    if (!renderer)
        return;
    if (!enabled_ || !interacting) {
        apply(enabled_ && hold_coarse ? level_ : 0);
        return;
    }
    if (pinned >= 0 && pinned < levels) {
        apply(pinned);
        return;
    }
    // The frame is not all of a step: the window still composes it. Leave a quarter for that,
    // and never plan with less than a quarter of the whole budget.
    budget = std::max(budget, 0.25 * budget_seconds) * 0.75;
    apply(choose(budget));
}

void InteractiveDetail::after_frame(double seconds) {
    if (level_ == 0) {
        full_seconds_ = seconds;
        return;
    }
    const double scale = seconds / relative_cost(level_);
    coarse_scale_ = coarse_scale_ > 0.0 ? 0.5 * (coarse_scale_ + scale) : scale;
}

void InteractiveDetail::apply(int level) {
    renderer->detail = factors[level];
    level_ = level;
}
