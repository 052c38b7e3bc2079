// One main-view frame (view controller + splat renderer, steps 1) drawn headlessly, on each
// of four paths: immediate mode (the reference), vertex arrays (the default), the arrays
// leaving out fully transparent splats, and shaders.
// Scenes: the classified sample and a generated 128 x 128 x 64 colour volume from the
// program's distance 750 and from nearer (as before), the dialog benchmark's 1M-point field
// from distance 300, the render tests' views of the sample, and the ocean field with missing
// data hidden. Before timing, each scene is drawn once on every path: the arrays must give
// the reference's pixels exactly; for the shaders the table gives the share of pixels with a
// channel more than 2 levels off the arrays' picture and the largest difference.
//
//   halvorn_frame_bench [--scene NAME]... [--pixels] [--benchmark_repetitions=N]
// --scene keeps only the named scenes; --pixels only compares, without timing.
#include "curves_file.h"
#include "driver_memory.h"
#include "frame_field.h"
#include "headless_view.h"
#include "import_prompts.h"
#include "render_fixtures.h"
#include "scene.h"
#include "splat_renderer.h"
#include "temp_dir.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

class QuietPrompts final : public ImportPrompts {
public:
    void show_message(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    bool ask_save_path(const std::string&, std::string&) override { return false; }
};

// A scene loaded from a grid file through a curves file, as halvorn-batch render does.
std::unique_ptr<Scene> imported_scene(const char* grid, const char* curves, MissingData missing) {
    auto scene = std::make_unique<Scene>();
    TempDir dir;
    QuietPrompts prompts;
    ImportOptions options;
    options.intermediate_path = dir.file("grid.dat");
    CurvesFile file;
    std::string error;
    if (!scene->import_grid(grid, prompts, options).ok ||
        !scene->load_curves(curves, file, error)) {
        std::fprintf(stderr, "%s not loaded: %s\n", grid, error.c_str());
        std::exit(1);
    }
    scene->low_end = file.low;
    scene->range = file.range;
    scene->missing_data = missing;
    if (!scene->classify_all()) {
        std::fprintf(stderr, "%s not classified\n", grid);
        std::exit(1);
    }
    return scene;
}

// The dialog benchmark's 1M-point field, classified through the sample's curves.
std::unique_ptr<Scene> field_scene() {
    auto scene = std::make_unique<Scene>();
    fill_field(scene->data_volume, 128, 128, 64);
    scene->colour_volume.allocate_zeroed(128, 128, 64, 4);
    CurvesFile file;
    std::string error;
    if (!scene->load_curves(HALVORN_SAMPLE_CURVES, file, error)) {
        std::fprintf(stderr, "curves not loaded: %s\n", error.c_str());
        std::exit(1);
    }
    scene->low_end = file.low;
    scene->range = file.range;
    scene->classify_all();
    return scene;
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

enum class Source { sample, ball, field, ocean };

struct FrameCase {
    std::string name;
    Source source;
    double distance, tilt, turn;
    int mode = 1;
    int step = 1;
    Vec3 axis_scale{1.0, 1.0, 1.0};
    int width = 612, height = 375;
};

std::vector<FrameCase> scenes() {
    return {
        {"sample", Source::sample, 750, 0.5, 0.6},
        {"sample_near", Source::sample, 150, 0.5, 0.6},
        {"sample_face", Source::sample, 160, 0, 0, 1, 1, {1, 1, 1}, 160, 100},
        {"sample_turned", Source::sample, 160, 0.5, 0.7, 1, 1, {1, 1, 1}, 160, 100},
        {"sample_quads2", Source::sample, 160, -0.4, 2.2, 0, 2, {1, 1, 1}, 160, 100},
        {"grid128", Source::ball, 750, 0.5, 0.6},
        {"grid128_near", Source::ball, 250, 0.5, 0.6},
        {"grid128_quads", Source::ball, 750, 0.5, 0.6, 0},
        {"field1m", Source::field, 300, -0.5, 0.6},
        {"field1m_turned", Source::field, 300, 0.9, -2.0},
        {"ocean_hidden", Source::ocean, 200, 1.2, 0.6, 1, 1, {1, 1, 4}, 300, 400},
        {"ocean_hidden_flat", Source::ocean, 250, 0.5, 0.6},
    };
}

// The ways a frame is drawn: immediate mode (the reference), vertex arrays drawing every grid
// point, the arrays leaving out fully transparent splats (the default for fans), and the
// shaders (which always leave them out).
struct Path {
    const char* name;
    SplatDrawing drawing;
    bool skip_transparent;
};
const Path paths[] = {{"immediate", SplatDrawing::immediate, false},
                      {"arrays", SplatDrawing::arrays, false},
                      {"arrays_skip", SplatDrawing::arrays, true},
                      {"shaders", SplatDrawing::shaders, false}};
enum { immediate_path, arrays_path, skip_path, shader_path, path_count };

struct Bench {
    std::unique_ptr<Scene> sample, field, ocean;
    std::map<std::pair<int, int>, std::unique_ptr<HeadlessView>> views;

    Scene& scene(Source s) {
        switch (s) {
        case Source::field:
            if (!field)
                field = field_scene();
            return *field;
        case Source::ocean:
            if (!ocean)
                ocean =
                    imported_scene(HALVORN_OCEAN_GRID, HALVORN_OCEAN_CURVES, MissingData::hidden);
            return *ocean;
        default:
            if (!sample)
                sample =
                    imported_scene(HALVORN_SAMPLE_GRID, HALVORN_SAMPLE_CURVES, MissingData::grey);
            return *sample;
        }
    }

    HeadlessView& view(int width, int height) {
        auto& v = views[{width, height}];
        if (!v) {
            v = std::make_unique<HeadlessView>();
            if (!v->open(width, height)) {
                std::fprintf(stderr, "no headless view: %s\n", v->error().c_str());
                std::exit(1);
            }
        }
        return *v;
    }

    // Sets the case up on its scene and returns the view to draw it in.
    HeadlessView& set(const FrameCase& c, const Path& path) {
        Scene& s = scene(c.source);
        s.view_controller.camera = Camera();
        s.place_camera(c.distance, c.tilt, c.turn);
        s.set_axis_scale(c.axis_scale);
        SplatRenderer& r = s.splat_renderer;
        r.volume = c.source == Source::ball ? &generated_colour() : &s.colour_volume;
        r.mode = c.mode;
        r.step_x = r.step_y = r.step_z = c.step;
        r.drawing = path.drawing;
        r.skip_transparent = path.skip_transparent;
        HeadlessView& v = view(c.width, c.height);
        v.draw_list = {&s.view_controller, &s.splat_renderer};
        v.projection_enabled = true;
        return v;
    }

    SplatRenderer& renderer(const FrameCase& c) { return scene(c.source).splat_renderer; }
};

Bench& bench() {
    static Bench b;
    return b;
}

struct Comparison {
    bool arrays_identical = false; // arrays against immediate mode
    std::int64_t skip_changed = 0; // arrays leaving out transparent splats: pixels changed
    int skip_largest = 0;
    double off_share = 0.0; // shaders: pixels with a channel more than 2 levels off the arrays'
    int largest = 0;
    bool shaders_drew = false;
    std::int64_t skipped = 0;
};

// Pixels of b that differ from a in any channel, and by more than `levels` in some colour
// channel; the largest colour difference.
struct PixelDifference {
    std::int64_t changed = 0, off = 0;
    int largest = 0;
};

PixelDifference difference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
                           int levels) {
    PixelDifference d;
    if (a.size() != b.size()) {
        d.off = d.changed = static_cast<std::int64_t>(a.size() / 4);
        return d;
    }
    for (std::size_t p = 0; p + 3 < a.size(); p += 4) {
        int worst = 0;
        for (int ch = 0; ch < 3; ++ch)
            worst = std::max(worst, std::abs(int(a[p + ch]) - int(b[p + ch])));
        d.changed += std::memcmp(&a[p], &b[p], 4) != 0;
        d.off += worst > levels;
        d.largest = std::max(d.largest, worst);
    }
    return d;
}

Comparison compare(const FrameCase& c) {
    Bench& b = bench();
    std::vector<unsigned char> picture[path_count];
    Comparison r;
    for (int i = 0; i < path_count; ++i) {
        HeadlessView& v = b.set(c, paths[i]);
        picture[i] = render_pixels(v, v.draw_list);
        const SplatStats& s = b.renderer(c).last_stats;
        if (i == shader_path) {
            r.shaders_drew = s.drawn == SplatDrawing::shaders;
            r.skipped = s.skipped;
        }
    }
    r.arrays_identical =
        !picture[immediate_path].empty() && picture[immediate_path] == picture[arrays_path];
    const PixelDifference skip = difference(picture[arrays_path], picture[skip_path], 0);
    r.skip_changed = skip.changed;
    r.skip_largest = skip.largest;
    const PixelDifference shaders = difference(picture[arrays_path], picture[shader_path], 2);
    r.off_share = double(shaders.off) / double(std::max<std::size_t>(1, picture[1].size() / 4));
    r.largest = shaders.largest;
    return r;
}

// CPU time of every thread of the process (the rasteriser's included), in seconds.
double process_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void frame(benchmark::State& state, FrameCase c, Path path) {
    Bench& b = bench();
    HeadlessView& v = b.set(c, path);
    v.repaint(); // the shader path's buffer is built by the first frame
    double fill = 0.0, cpu = 0.0;
    std::int64_t splats = 0;
    for (auto _ : state) {
        const double start = process_seconds();
        v.repaint();
        cpu += process_seconds() - start;
        fill += b.renderer(c).last_stats.fill_seconds;
        splats += b.renderer(c).last_stats.splats;
    }
    state.counters["all_cpu_s"] = cpu / static_cast<double>(state.iterations());
    state.counters["splats/s"] =
        benchmark::Counter(static_cast<double>(splats), benchmark::Counter::kIsRate);
    state.counters["fill_s"] = fill / static_cast<double>(state.iterations());
}

// Remembers each run's time per frame so the ratios can be printed at the end. With
// --benchmark_repetitions the median of the repetitions counts.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            // "frame/SCENE/PATH", without what Google Benchmark appends.
            std::string name = r.benchmark_name();
            std::size_t slash = 0;
            for (int i = 0; i < 3 && slash != std::string::npos; ++i)
                slash = name.find('/', slash + (i > 0));
            const bool aggregate = r.run_type == Run::RT_Aggregate;
            if (slash != std::string::npos)
                name.resize(slash);
            const double t =
                r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
            const auto counter = r.counters.find("all_cpu_s");
            const double all_cpu = counter == r.counters.end() ? 0.0 : counter->second.value;
            if (aggregate) {
                if (r.aggregate_name != "median")
                    continue;
                seconds[name] = t;
                cpu[name] = all_cpu;
                medians[name] = true;
                continue;
            }
            if (!medians[name]) {
                seconds[name] = t;
                cpu[name] = all_cpu;
            }
        }
    }
    std::map<std::string, double> seconds, cpu; // wall and all threads' CPU time per frame
    std::map<std::string, bool> medians;
};

} // namespace

int main(int argc, char** argv) {
    keep_freed_memory_for_reuse(); // as the programs do
    bool pixels_only = false;
    std::vector<FrameCase> chosen;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pixels")) {
            pixels_only = true;
        } else if (!std::strcmp(argv[i], "--scene") && i + 1 < argc) {
            const std::string name = argv[++i];
            for (const FrameCase& c : scenes())
                if (c.name == name)
                    chosen.push_back(c);
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (chosen.empty())
        chosen = scenes();
    argc = static_cast<int>(rest.size());
    argv = rest.data();
    std::map<std::string, Comparison> compared;
    for (const FrameCase& c : chosen) {
        compared[c.name] = compare(c);
        for (const Path& p : paths)
            benchmark::RegisterBenchmark(("frame/" + c.name + "/" + p.name).c_str(), frame, c, p)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(3);
    }
    RatioReporter reporter;
    if (!pixels_only) {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }

    std::printf("\nms per frame (median of the runs; in brackets the CPU time of all threads, "
                "which other programs on the machine disturb less); ratios of the wall times to "
                "the arrays'; pixels: the "
                "arrays' against immediate mode's, leaving out transparent splats (pixels changed, "
                "largest difference), the shaders against the arrays (share of pixels with a "
                "channel more than 2 levels off, largest difference, splats left out)\n");
    std::printf("\n%-18s %15s %15s %15s %15s %6s %6s %6s  %-9s %-12s %s\n", "scene", "immed",
                "arrays", "skip", "shaders", "im/ar", "ar/sk", "ar/sh", "arrays", "skip",
                "shaders");
    for (const FrameCase& c : chosen) {
        const Comparison& p = compared[c.name];
        double ms[path_count], cpu_ms[path_count];
        for (int i = 0; i < path_count; ++i) {
            const std::string key = "frame/" + c.name + "/" + paths[i].name;
            ms[i] = reporter.seconds.count(key) ? reporter.seconds[key] * 1e3 : 0.0;
            cpu_ms[i] = reporter.cpu.count(key) ? reporter.cpu[key] * 1e3 : 0.0;
        }
        const auto ratio = [&](int a, int b) { return ms[b] > 0 ? ms[a] / ms[b] : 0.0; };
        char skip_note[32], shader_note[48];
        std::snprintf(skip_note, sizeof skip_note, "%lld px, %d",
                      static_cast<long long>(p.skip_changed), p.skip_largest);
        if (p.shaders_drew)
            std::snprintf(shader_note, sizeof shader_note, "%.3f%%, %d, %lld left out",
                          100.0 * p.off_share, p.largest, static_cast<long long>(p.skipped));
        else
            std::snprintf(shader_note, sizeof shader_note, "(fell back to arrays)");
        char times[path_count][24];
        for (int i = 0; i < path_count; ++i)
            std::snprintf(times[i], sizeof times[i], "%.0f (%.0f)", ms[i], cpu_ms[i]);
        std::printf("%-18s %15s %15s %15s %15s %5.2fx %5.2fx %5.2fx  %-9s %-12s %s\n",
                    c.name.c_str(), times[immediate_path], times[arrays_path], times[skip_path],
                    times[shader_path], ratio(immediate_path, arrays_path),
                    ratio(arrays_path, skip_path), ratio(arrays_path, shader_path),
                    p.arrays_identical ? "identical" : "DIFFER", skip_note, shader_note);
    }
    return 0;
}
