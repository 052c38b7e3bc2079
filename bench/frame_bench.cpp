// One main-view frame (view controller + splat renderer, steps 1, fans unless named) drawn
// headlessly at 612 x 375, of the classified sample and of a generated 128 x 128 x 64 colour
// volume, from the program's distance 750 and from nearer: the vertex-array path against the
// immediate-mode reference on the same scene. Both must give identical pixels (checked once per
// scene before timing). Prints per scene the ratio, frames/s, splats/s and the share of the frame
// spent filling arrays.
#include "classify.h"
#include "curves_file.h"
#include "driver_memory.h"
#include "headless_view.h"
#include "render_fixtures.h"
#include "scene.h"
#include "splat_renderer.h"
#include "transfer_function.h"
#include "view_controller.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int width = 612, height = 375;

struct FrameCase {
    std::string name;
    Volume* volume;
    double distance;
    int mode;
};

// The bundled sample classified through its curves file, as halvorn-batch render draws it.
Volume& sample_colour() {
    static Volume colour;
    static bool done = false;
    if (!done) {
        done = true;
        Volume data;
        std::string error;
        CurvesFile file;
        TransferFunction curves[4];
        if (!load_sample(data, colour, error) ||
            !read_curves_file(HALVORN_SAMPLE_CURVES, file, error)) {
            std::fprintf(stderr, "sample not loaded: %s\n", error.c_str());
            std::exit(1);
        }
        for (int c = 0; c < 4; ++c) {
            set_curve_points(curves[c], file.curves[c]);
            curves[c].update_segments();
        }
        colour.rgba = true;
        const TransferFunction* const pointers[4] = {&curves[0], &curves[1], &curves[2],
                                                     &curves[3]};
        if (!classify(colour, data, pointers, {file.low, file.range})) {
            std::fprintf(stderr, "sample not classified\n");
            std::exit(1);
        }
    }
    return colour;
}

// 128 x 128 x 64 colour volume: a warm ball in a faint cool field.
Volume& generated_colour() {
    static Volume colour;
    if (!colour.samples) {
        make_colour_volume(colour, 128, 128, 64);
        fill_volume(colour, [](int x, int y, int z, int c) {
            const double dx = (x - 64) / 64.0, dy = (y - 64) / 64.0, dz = (z - 32) / 32.0;
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            const double warm = std::exp(-4.0 * r * r);
            switch (c) {
            case 0:
                return static_cast<float>(warm);
            case 1:
                return static_cast<float>(0.3 + 0.2 * std::sin(x * 0.2));
            case 2:
                return static_cast<float>(1.0 - warm);
            default:
                return static_cast<float>(0.02 + 0.3 * warm);
            }
        });
    }
    return colour;
}

struct Bench {
    HeadlessView view;
    Scene scene; // the main view's scene as both programs wire it

    bool open() {
        if (!view.open(width, height)) {
            std::fprintf(stderr, "no headless view: %s\n", view.error().c_str());
            return false;
        }
        scene.place_camera(std::nullopt, 0.5, 0.6);
        scene.attach_main_view(view);
        return true;
    }
    void set(const FrameCase& s, bool immediate) {
        SplatRenderer& renderer = scene.splat_renderer;
        scene.view_controller.camera.set_distance(s.distance);
        renderer.volume = s.volume; // a prepared colour volume instead of the scene's own
        renderer.mode = s.mode;
        renderer.immediate = immediate;
    }
};

Bench& bench() {
    static Bench b;
    static bool ok = b.open();
    if (!ok)
        std::exit(1);
    return b;
}

std::vector<FrameCase> scenes() {
    return {{"sample", &sample_colour(), 750, 1},
            {"sample_near", &sample_colour(), 150, 1},
            {"grid128", &generated_colour(), 750, 1},
            {"grid128_near", &generated_colour(), 250, 1},
            {"grid128_quads", &generated_colour(), 750, 0}};
}

bool same_pixels(const FrameCase& s) {
    Bench& b = bench();
    b.set(s, true);
    const auto reference = render_pixels(b.view, b.view.draw_list);
    b.set(s, false);
    const auto fast = render_pixels(b.view, b.view.draw_list);
    return !reference.empty() && reference == fast;
}

void frame(benchmark::State& state, FrameCase s, bool immediate) {
    Bench& b = bench();
    b.set(s, immediate);
    double fill = 0.0;
    std::int64_t splats = 0;
    for (auto _ : state) {
        b.view.repaint();
        fill += b.scene.splat_renderer.last_stats.fill_seconds;
        splats += b.scene.splat_renderer.last_stats.splats;
    }
    state.counters["splats/s"] =
        benchmark::Counter(static_cast<double>(splats), benchmark::Counter::kIsRate);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["fill_s"] = fill / static_cast<double>(state.iterations());
}

// Remembers each run's time per frame so the ratios can be printed at the end. With
// --benchmark_repetitions the fastest repetition counts: on a small shared machine the noise
// only ever adds time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration)
                continue;
            std::string name = r.benchmark_name();
            const std::string suffix = "/real_time";
            if (name.size() > suffix.size() && name.ends_with(suffix))
                name.resize(name.size() - suffix.size());
            const double t =
                r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
            if (seconds.count(name) && seconds[name] <= t)
                continue;
            seconds[name] = t;
            const auto it = r.counters.find("fill_s");
            if (it != r.counters.end())
                fill[name] = it->second.value;
        }
    }
    std::map<std::string, double> seconds, fill;
};

} // namespace

int main(int argc, char** argv) {
    keep_freed_memory_for_reuse(); // as the programs do
    std::map<std::string, bool> identical;
    for (const FrameCase& s : scenes()) {
        identical[s.name] = same_pixels(s);
        for (bool immediate : {false, true})
            benchmark::RegisterBenchmark(
                ("frame/" + s.name + "/" + (immediate ? "immediate" : "arrays")).c_str(), frame, s,
                immediate)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nratio: immediate / arrays; fill: share of the arrays frame spent filling them\n");
    std::printf("\n%-14s %9s %9s %7s %9s %10s %6s %s\n", "scene", "arrays_ms", "immed_ms", "ratio",
                "frames/s", "splats/s", "fill", "pixels");
    for (const FrameCase& s : scenes()) {
        const std::string a = "frame/" + s.name + "/arrays", i = "frame/" + s.name + "/immediate";
        if (!reporter.seconds.count(a) || !reporter.seconds.count(i))
            continue;
        const double ta = reporter.seconds[a], ti = reporter.seconds[i];
        const double splats = static_cast<double>(s.volume->nx) * s.volume->ny * s.volume->nz;
        std::printf("%-14s %9.2f %9.2f %6.2fx %9.2f %10.3g %5.1f%% %s\n", s.name.c_str(),
                    ta * 1e3, ti * 1e3, ti / ta, 1.0 / ta, splats / ta,
                    100.0 * reporter.fill[a] / ta, identical[s.name] ? "identical" : "DIFFER");
    }
    return 0;
}
