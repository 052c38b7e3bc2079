// A step of playback through the components, classifying no more of the grid than the coarse
// frame that shows it draws.
#include "scene.h"

#include "splat_traversal.h"

#include <algorithm>
#include <chrono>
#include <initializer_list>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

GridLattice grid_lattice(const SplatRenderer::Lattice& l) {
    GridLattice g;
    g.x = splat_axis_indices(l.n[0], l.eye_cell[0], l.step[0]);
    g.y = splat_axis_indices(l.n[1], l.eye_cell[1], l.step[1]);
    g.z = splat_axis_indices(l.n[2], l.eye_cell[2], l.step[2]);
    return g;
}

// The lit frame's normals are central differences of the opacity around each grid point it
// draws, taken (as Volume::gradient_at_index does) at the point moved inside the grid along
// every axis of extent 3 or more. For one axis's listed indices: the moved ones (`offsets` {0})
// or the two neighbours of each ({-1, 1}), ascending and without repeats.
std::vector<int> moved_inside(const std::vector<int>& list, int n,
                              std::initializer_list<int> offsets) {
    std::vector<int> out;
    for (const int i : list)
        for (const int offset : offsets)
            out.push_back(n < 3 ? i : std::clamp(i, 1, n - 2) + offset);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// Classifies the opacity of the neighbours whose differences give the normals of `points`.
bool classify_normal_neighbours(Volume& colour, const Volume& source,
                                const TransferFunction* const (&list)[4],
                                const ClassifySettings& settings, const GridLattice& points) {
    const int n[3] = {source.nx, source.ny, source.nz};
    const GridLattice inside{moved_inside(points.x, n[0], {0}), moved_inside(points.y, n[1], {0}),
                             moved_inside(points.z, n[2], {0})};
    std::vector<int> GridLattice::*const axes[3] = {&GridLattice::x, &GridLattice::y,
                                                    &GridLattice::z};
    for (int along = 0; along < 3; ++along) {
        if (n[along] < 3)
            continue;
        GridLattice neighbours = inside;
        neighbours.*axes[along] = moved_inside(points.*axes[along], n[along], {-1, 1});
        if (!classify_lattice(colour, source, list, settings, neighbours, 1 << 3))
            return false;
    }
    return true;
}

} // namespace

bool Scene::classify_playback_step() {
    const WindowKey key = window_key();
    if (fetch_window(key))
        return true;
    const Volume& source = classified_source(); // the window's copy, made before the timing
    if (measured_width_ != window_width()) {
        seconds_per_point_ = 0.0;
        measured_width_ = window_width();
    }
    // What classifying each level's grid points would take ahead of its frame. Until a step
    // of this width has been measured that is unknown, and the step classifies the whole grid.
    const std::int64_t all = static_cast<std::int64_t>(source.nx) * source.ny * source.nz;
    double before[InteractiveDetail::levels];
    for (int level = 0; level < InteractiveDetail::levels; ++level) {
        const std::int64_t points =
            level == 0
                ? all
                : grid_lattice(splat_renderer.lattice(InteractiveDetail::factors[level])).points();
        before[level] = seconds_per_point_ * static_cast<double>(points);
    }
    const int level = seconds_per_point_ > 0.0 ? interactive_detail.plan(before) : 0;
    const auto start = Clock::now();
    if (level == 0) {
        if (!classify_window_with(key.settings))
            return false;
        if (all > 0)
            seconds_per_point_ = seconds_since(start) / static_cast<double>(all);
        return true;
    }

    const SplatRenderer::Lattice lattice =
        splat_renderer.lattice(InteractiveDetail::factors[level]);
    const GridLattice points = grid_lattice(lattice);
    const CurveList in_use = curve_list();
    const ClassifySettings settings = classify_settings();
    // Refused settings (a range of 0 typed while playing) change nothing: the colours stay
    // those of the last step, complete or not.
    if (!classify_lattice(colour_volume, source, in_use.list, settings, points))
        return false;
    // From here the colours are partial; until the step has finished, with no lattice that a
    // frame could match, so that any frame completes them first.
    classifier_.forget(); // most of the colour volume is not what the classifier wrote
    partial_ = true;
    interactive_detail.hold_coarse = true; // no full frame of partial colours
    partial_lattice_ = {};
    partial_settings_ = settings;
    if (!classify_normal_neighbours(colour_volume, source, in_use.list, settings, points))
        return false;
    if (points.points() > 0)
        seconds_per_point_ = seconds_since(start) / static_cast<double>(points.points());
    partial_lattice_ = lattice;
    interactive_detail.pin_next(level);
    return true;
}

bool Scene::complete_colours() {
    if (!partial_)
        return true;
    // With the settings the partial colours were classified with: a range edited since then
    // (even to one that is refused) waits for the next classification, as it would have.
    if (classify_window_with(partial_settings_))
        return true;
    // No memory to finish: show nothing rather than the colours of other windows.
    std::fill(colour_volume.samples, colour_volume.samples + colour_volume.sample_count(), 0.0f);
    classifier_.forget();
    set_colours_whole();
    return false;
}
