// What one pointer movement over the main view costs to name the grid point under it: on a
// 1M-point grid of twelve monthly values per point (a sea-temperature year, land as missing
// blocks) classified through the sample curves, seen at distance 300 from above at a slant,
// the pointer resting in turn on 1024 places of a 612 x 375 view. Beside it, the same answer
// by the plain route: marching along the ray in steps of a hundredth of a grid unit and
// looking at the box each step falls in.
#include "pointer_probe.h"
#include "reference_probe.h"
#include "scene.h"
#include "shared_constants.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr int nx = 128, ny = 128, nz = 64, months = 12;
constexpr double aspect = 612.0 / 375.0;

Scene& scene() {
    static Scene s;
    static bool built = false;
    if (built)
        return s;
    built = true;
    Volume& v = s.data_volume;
    v.allocate(nx, ny, nz, months);
    v.valid = true;
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                const double u = double(x) / nx, w = double(y) / ny;
                const bool land = (u > 0.2 && u < 0.35 && w > 0.3 && w < 0.8) ||
                                  (u > 0.6 && u < 0.9 && w > 0.55 && w < 0.7);
                const double mean = 45.0 + 30.0 * std::cos(3.0 * (w - 0.5)) - 0.4 * z;
                const double swing = 4.0 + 18.0 * std::fabs(w - 0.5);
                float* p = v.samples + v.flat_index(x, y, z, 0);
                for (int m = 0; m < months; ++m)
                    p[m] = land ? -9999.0f
                                : static_cast<float>(mean + swing * std::cos(2.0 * pi * m / 12.0));
            }
    CurvesFile file;
    std::string error;
    if (!s.load_curves(HALVORN_SAMPLE_CURVES, file, error))
        std::fprintf(stderr, "%s\n", error.c_str());
    s.low_end = 10.0;
    s.range = 80.0;
    s.colour_volume.allocate(nx, ny, nz, 4);
    s.classify_all();
    s.place_camera(300.0, -0.7, 0.5);
    return s;
}

double pointer(int i, int n) {
    return (i % n + 0.5) / n;
}

void BM_probe(benchmark::State& state) {
    const Scene& s = scene();
    int i = 0, named = 0;
    for (auto _ : state) {
        const std::string words = s.probe(pointer(i, 32), pointer(i / 32, 32), aspect);
        named += !words.empty();
        benchmark::DoNotOptimize(words.data());
        i = (i + 1) % 1024;
    }
    state.counters["named"] = double(named) / double(state.iterations());
}

void BM_probe_marched(benchmark::State& state) {
    const Scene& s = scene();
    int i = 0, named = 0;
    for (auto _ : state) {
        ProbeRay ray;
        pointer_ray(s.view_controller.camera, aspect, field_of_view, pointer(i, 32),
                    pointer(i / 32, 32), ray);
        const ProbeHit hit = marched_probe(s.colour_volume, s.axis_scale(), ray, 0.01, 700.0);
        const std::string words = probe_words(hit, s.data_volume, s.colour_volume, s.description());
        named += !words.empty();
        benchmark::DoNotOptimize(words.data());
        i = (i + 1) % 1024;
    }
    state.counters["named"] = double(named) / double(state.iterations());
}

// Both routes over all 1024 places, once: how often they name the same grid point.
void BM_agreement(benchmark::State& state) {
    const Scene& s = scene();
    int same = 0, named = 0;
    for (auto _ : state) {
        same = named = 0;
        for (int i = 0; i < 1024; ++i) {
            ProbeRay ray;
            pointer_ray(s.view_controller.camera, aspect, field_of_view, pointer(i, 32),
                        pointer(i / 32, 32), ray);
            const ProbeHit a = probe_grid(s.colour_volume, s.axis_scale(), ray);
            const ProbeHit b = marched_probe(s.colour_volume, s.axis_scale(), ray, 0.01, 700.0);
            named += a.hit;
            same += a.hit == b.hit && a.x == b.x && a.y == b.y && a.z == b.z;
        }
    }
    state.counters["named"] = named;
    state.counters["same"] = same;
}

} // namespace

BENCHMARK(BM_agreement)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_probe)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_probe_marched)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
