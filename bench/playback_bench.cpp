// Playback through the components as the dialog's Play steps it, on a generated 128 x 128 x 64
// grid (1M points) of twelve monthly values per point (a smooth seasonal field, land as missing
// blocks), classified through the sample curves and drawn headlessly at 612 x 375 with the
// grid fitted to the view:
//
//   full classification   every channel over all twelve components (what "Set Transfer Func"
//                         does on this grid), and the full frame that follows;
//   whole window step     the window one component on, every grid point classified over the
//                         window, then the frame the detail policy draws for an ongoing change
//                         (coarse where a full one exceeds its budget);
//   playback step         the same step as the dialog's Play takes it: only the grid points
//                         of the coarse frame that shows the window are classified (the rest
//                         when a frame needs them), the level chosen for both together. Its
//                         frame is checked pixel for pixel against the same frame after a
//                         whole classification.
//
//   again                 the same steps when playback comes round: each window was classified
//                         once and is copied back (checked bit for bit against classifying it).
//
// Before timing, each window's colour volume is checked bit for bit against a classification
// of a grid that holds only the window's components. Prints medians of several rounds, windows
// per second for widths 1, 3 and 6, the ratios to the full classification and frame, and the
// CPU time of a step (all threads; on a busy machine the wall time stretches, this much less).
//
//   halvorn_playback_bench [rounds]
#include "classify.h"
#include "curves_file.h"
#include "driver_memory.h"
#include "headless_view.h"
#include "scene.h"
#include "shared_constants.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int nx = 128, ny = 128, nz = 64, months = 12;
constexpr int width = 612, height = 375;

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The process's CPU seconds so far, all threads: on a machine shared with other work the wall
// time of a step stretches, its CPU time much less.
double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Twelve months per point: a mean that falls with depth and latitude, a seasonal swing that
// peaks in each hemisphere's summer, and two land masses without data through every depth.
void fill_monthly(Volume& data) {
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                float* p = data.samples + data.flat_index(x, y, z, 0);
                const double u = double(x) / nx, v = double(y) / ny;
                const bool land = (u > 0.2 && u < 0.35 && v > 0.3 && v < 0.8) ||
                                  (u > 0.6 && u < 0.9 && v > 0.55 && v < 0.7 && z > nz / 3);
                const double mean = 45.0 + 30.0 * std::cos(3.0 * (v - 0.5)) - 0.4 * z +
                                    4.0 * std::sin(7.0 * u) * std::cos(5.0 * v);
                const double swing = 4.0 + 18.0 * std::fabs(v - 0.5) + 0.2 * z;
                const double peak = (v < 0.5 ? 1.5 : 7.5) + 0.6 * u;
                for (int m = 0; m < months; ++m)
                    p[m] = land ? -9999.0f
                                : static_cast<float>(
                                      mean + swing * std::cos(2.0 * pi * (m - peak) / 12.0));
            }
}

// The window first..last classified from a grid that holds only those components.
bool same_as_a_grid_of_only(Scene& scene, int first, int last) {
    const Volume& d = scene.data_volume;
    const int w = last - first + 1;
    Volume only, colour;
    if (!only.allocate(d.nx, d.ny, d.nz, w) || !colour.allocate(d.nx, d.ny, d.nz, 4))
        return false;
    only.valid = true;
    colour.rgba = true;
    const std::int64_t points = std::int64_t(d.nx) * d.ny * d.nz;
    for (std::int64_t p = 0; p < points; ++p)
        std::memcpy(only.samples + p * w, d.samples + p * d.ncomp + first, sizeof(float) * w);
    const TransferFunction* const curves[4] = {&scene.curves[0], &scene.curves[1], &scene.curves[2],
                                               &scene.curves[3]};
    if (!classify(colour, only, curves, scene.classify_settings()))
        return false;
    scene.set_component_window(first, last);
    if (!scene.classify_all())
        return false;
    return std::memcmp(colour.samples, scene.colour_volume.samples,
                       sizeof(float) * colour.sample_count()) == 0;
}

// One frame of the view under the detail policy, as the dialog's view draws it: `interacting`
// lets the policy go coarse, `spent` is what the step took before its frame.
double frame(Scene& scene, HeadlessView& view, bool interacting, double spent) {
    InteractiveDetail& detail = scene.interactive_detail;
    detail.spent_seconds = spent;
    detail.before_frame(interacting);
    const auto start = Clock::now();
    if (!view.repaint()) {
        std::fprintf(stderr, "frame not drawn\n");
        std::exit(1);
    }
    const double s = seconds_since(start);
    detail.after_frame(s);
    return s;
}

// The frame just drawn after a playback step, against the same frame (same level, camera)
// drawn after classifying the whole window.
bool same_as_after_whole_classification(Scene& scene, HeadlessView& view) {
    std::vector<unsigned char> played, whole;
    if (!view.read_pixels(played))
        return false;
    const int level = scene.interactive_detail.level();
    if (!scene.classify_all())
        return false;
    scene.interactive_detail.pin_next(level);
    scene.interactive_detail.before_frame(true);
    if (!view.repaint() || !view.read_pixels(whole))
        return false;
    return played == whole;
}

} // namespace

int main(int argc, char** argv) {
    keep_freed_memory_for_reuse();
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    Scene scene;
    if (!scene.data_volume.allocate(nx, ny, nz, months) ||
        !scene.colour_volume.allocate(nx, ny, nz, 4)) {
        std::fprintf(stderr, "no memory for the grid\n");
        return 1;
    }
    scene.data_volume.valid = true;
    scene.colour_volume.rgba = true;
    fill_monthly(scene.data_volume);
    scene.data_replaced();
    CurvesFile file;
    std::string error;
    if (!scene.load_curves(HALVORN_SAMPLE_CURVES, file, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    scene.low_end = 0.0;
    scene.range = 100.0;

    HeadlessView view;
    if (!view.open(width, height)) {
        std::fprintf(stderr, "no headless view: %s\n", view.error().c_str());
        return 1;
    }
    scene.attach_main_view(view);
    scene.fit_view(double(width) / height);

    for (const auto& [first, last] : {std::pair{0, 0}, {4, 6}, {6, 11}, {11, 11}})
        if (!same_as_a_grid_of_only(scene, first, last)) {
            std::fprintf(stderr, "window %d:%d differs from a grid of only its components\n",
                         first + 1, last + 1);
            return 1;
        }

    // The plain path: every component, a full frame.
    std::vector<double> full_classify, full_frame;
    scene.set_component_window(0, months - 1);
    for (int r = 0; r < rounds; ++r) {
        scene.data_replaced();
        const auto start = Clock::now();
        scene.classify_all();
        full_classify.push_back(seconds_since(start));
        full_frame.push_back(frame(scene, view, false, 0.0));
    }
    const double fc = median(full_classify), ff = median(full_frame);
    std::printf("grid %d x %d x %d, %d components; frame %d x %d, budget %.0f ms\n", nx, ny, nz,
                months, width, height, scene.interactive_detail.budget_seconds * 1e3);
    std::printf("full classification %7.1f ms   full frame %7.1f ms   together %5.2f per s\n",
                fc * 1e3, ff * 1e3, 1.0 / (fc + ff));

    for (int w : {1, 3, 6}) {
        std::vector<double> step, classify_part, frame_part, step_cpu;
        std::vector<int> levels;
        int first = 0;
        const int positions = months - w + 1;
        // A round of warm-up steps lets the policy learn the coarse frames' cost.
        for (int k = 0; k < positions * (rounds + 1); ++k) {
            const auto start = Clock::now();
            const double cpu_start = cpu_seconds();
            scene.set_component_window(first, first + w - 1);
            scene.classify_all();
            const double c = seconds_since(start);
            const double f = frame(scene, view, true, c);
            if (k >= positions) {
                classify_part.push_back(c);
                frame_part.push_back(f);
                step.push_back(seconds_since(start));
                step_cpu.push_back(cpu_seconds() - cpu_start);
                levels.push_back(scene.interactive_detail.level());
            }
            first = first + 1 < positions ? first + 1 : 0;
        }
        // Playback comes round again: each window classified once, then copied back. The
        // first round fills the cache; the copies must equal a classification's bits.
        std::vector<double> cached_step;
        std::vector<int> cached_levels;
        bool same = true;
        first = 0;
        for (int k = 0; k < positions * (rounds + 1); ++k) {
            const auto start = Clock::now();
            scene.set_component_window(first, first + w - 1);
            scene.classify_window_cached();
            const double c = seconds_since(start);
            frame(scene, view, true, c);
            if (k >= positions) {
                cached_step.push_back(seconds_since(start));
                cached_levels.push_back(scene.interactive_detail.level());
            }
            if (k >= positions && k < 2 * positions) {
                const std::vector<float> copy(scene.colour_volume.samples,
                                              scene.colour_volume.samples +
                                                  scene.colour_volume.sample_count());
                scene.classify_all();
                same = same && std::memcmp(copy.data(), scene.colour_volume.samples,
                                           sizeof(float) * copy.size()) == 0;
            }
            first = first + 1 < positions ? first + 1 : 0;
        }
        if (!same) {
            std::fprintf(stderr, "a window copied back differs from its classification\n");
            return 1;
        }
        // Playback as the dialog steps it, each window met for the first time.
        std::vector<double> play_step, play_classify, play_frame;
        std::vector<int> play_levels;
        bool same_frame = true;
        first = 0;
        scene.data_replaced(); // nothing kept from the rounds above
        for (int k = 0; k < positions * (rounds + 1); ++k) {
            if (k % positions == 0)
                scene.data_replaced();
            const auto start = Clock::now();
            scene.set_component_window(first, first + w - 1);
            scene.classify_playback_step();
            const double c = seconds_since(start);
            const double f = frame(scene, view, true, c);
            if (k >= positions) {
                play_classify.push_back(c);
                play_frame.push_back(f);
                play_step.push_back(seconds_since(start));
                play_levels.push_back(scene.interactive_detail.level());
            }
            if (k == positions + 1 && !scene.colours_complete())
                same_frame = same_as_after_whole_classification(scene, view);
            first = first + 1 < positions ? first + 1 : 0;
        }
        if (!same_frame) {
            std::fprintf(stderr, "a playback frame differs from the frame after classify_all\n");
            return 1;
        }
        scene.complete_colours();

        const double s = median(step);
        std::printf("width %2d: whole window step %6.1f ms (classify %6.1f, coarse frame %5.1f "
                    "at level %d)  %5.2f windows per s\n",
                    w, s * 1e3, median(classify_part) * 1e3, median(frame_part) * 1e3,
                    levels[levels.size() / 2], 1.0 / s);
        const double ps = median(play_step);
        std::printf("          playback step %6.1f ms (classify %6.1f, coarse frame %5.1f at "
                    "level %d)  %5.2f windows per s\n",
                    ps * 1e3, median(play_classify) * 1e3, median(play_frame) * 1e3,
                    play_levels[play_levels.size() / 2], 1.0 / ps);
        std::printf("          classify / full classification %.2f, coarse frame / full frame "
                    "%.2f; CPU %.1f ms per step (all threads)\n",
                    median(classify_part) / fc, median(frame_part) / ff, median(step_cpu) * 1e3);
        std::printf("          again (each window classified once): step %6.1f ms at level %d"
                    "  %5.2f windows per s\n",
                    median(cached_step) * 1e3, cached_levels[cached_levels.size() / 2],
                    1.0 / median(cached_step));
    }
    return 0;
}
