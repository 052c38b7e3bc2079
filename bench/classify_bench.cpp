// Classification of a generated 128 x 128 x 64 grid with two components (values spread over
// and a little beyond the range, about 1 % missing) through four curves of five points, by
// the threaded classification and by the literal serial reference, in the forward mode the
// reference reads. Checks that both agree to 1e-12 and prints the speed ratio and grid points
// per second.
//
// The exact mode beside the forward one, each on one thread: on a smooth two-component field
// with missing blocks, and on a year of monthly values per grid point (twelve components that
// rise to a summer peak and fall again, land as missing blocks), as a sea-temperature
// climatology holds them; and on the smooth field's first component alone, where the exact
// mode's single values take standing_mean instead of the step-by-step walk. Prints the ratio of
// the two modes on each.
//
// Also on one thread: the scalar row pass (the vector pass switched off, as on processors
// without AVX2), and curves with narrow segments (points 1e-6 and 0.01 apart), which are read
// in their local form and take the general walk or the scalar row pass; those are checked
// against the reference to one float step.
#include "classify.h"
#include "classify_vector.h"
#include "reference_classify.h"
#include "transfer_function.h"
#include "volume.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr int nx = 128, ny = 128, nz = 64, ncomp = 2;
constexpr double low = 0.0, range = 100.0;
constexpr double points = double(nx) * ny * nz;
constexpr int monthly_nx = 96, monthly_ny = 96, monthly_nz = 32, months = 12;

struct Scene {
    Volume data, fast, reference;
    Volume smooth; // a smooth two-moment field with missing blocks, as measured data come
    Volume monthly, monthly_colour; // twelve values per point that rise and fall
    Volume scalar;                  // the smooth field's first component alone
    TransferFunction curves[4];
    TransferFunction narrow[4]; // the same curves with a narrow pair of points added
};

Scene& scene() {
    static Scene s;
    return s;
}

void build_scene() {
    Scene& s = scene();
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-5.0f, 105.0f);
    s.data.allocate(nx, ny, nz, ncomp);
    for (std::int64_t i = 0; i < s.data.sample_count(); i += ncomp) {
        const bool missing = rng() % 100 == 0;
        for (int c = 0; c < ncomp; ++c)
            s.data.samples[i + c] = missing ? -9999.0f : value(rng);
    }
    s.smooth.allocate(nx, ny, nz, ncomp);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                float* p = s.smooth.samples + s.smooth.flat_index(x, y, z, 0);
                const bool missing = (x > 80 && x < 100 && y > 15 && y < 45 && z < 27) ||
                                     (x > 12 && x < 28 && y > 90 && y < 110 && z > 32 && z < 45);
                const double h = double(z) / (nz - 1);
                for (int c = 0; c < ncomp; ++c) {
                    const double dx = (double(x) / nx - 0.45 - 0.05 * c - 0.1 * h) * 4.0;
                    const double dy = (double(y) / ny - 0.52) * 4.0;
                    const double spread = 0.35 + 0.6 * h + 0.2 * c;
                    const double plume = std::exp(-(dx * dx + dy * dy) / (2 * spread * spread));
                    const double ambient =
                        12.0 + 10.0 * h + 3.0 * std::sin(12.0 * x / nx) * std::cos(9.0 * y / ny);
                    p[c] = missing ? -9999.0f
                                   : static_cast<float>(ambient + 75.0 * (0.6 + 0.4 * c) *
                                                                      (1.0 - 0.45 * h) * plume);
                }
            }
    s.monthly.allocate(monthly_nx, monthly_ny, monthly_nz, months);
    s.monthly_colour.allocate(monthly_nx, monthly_ny, monthly_nz, 4);
    for (int z = 0; z < monthly_nz; ++z)
        for (int y = 0; y < monthly_ny; ++y)
            for (int x = 0; x < monthly_nx; ++x) {
                float* p = s.monthly.samples + s.monthly.flat_index(x, y, z, 0);
                const double u = double(x) / monthly_nx, v = double(y) / monthly_ny;
                const bool land = (u > 0.2 && u < 0.35 && v > 0.3 && v < 0.8) ||
                                  (u > 0.6 && u < 0.9 && v > 0.55 && v < 0.7);
                const double mean = 45.0 + 30.0 * std::cos(3.0 * (v - 0.5)) - 0.4 * z +
                                    4.0 * std::sin(7.0 * u) * std::cos(5.0 * v);
                const double swing = 4.0 + 18.0 * std::fabs(v - 0.5) + 0.2 * z;
                // The two hemispheres' summers; on every other row the peak lies halfway between
                // two months, which then hold equal values (a piece of length zero), and on the
                // others it moves with x.
                const double peak = (v < 0.5 ? 1.5 : 7.5) + (y % 2 ? 0.6 * u : 0.0);
                for (int m = 0; m < months; ++m)
                    p[m] = land ? -9999.0f
                                : static_cast<float>(mean + swing * std::cos(2.0 * 3.14159265 *
                                                                             (m - peak) / 12.0));
            }
    s.scalar.allocate(nx, ny, nz, 1);
    for (std::int64_t i = 0; i < s.scalar.sample_count(); ++i)
        s.scalar.samples[i] = s.smooth.samples[ncomp * i];
    s.fast.allocate(nx, ny, nz, 4);
    s.reference.allocate(nx, ny, nz, 4);
    // Four inner points and the final (1.0, 0.0) per curve.
    const double xs[4][4] = {{0.15, 0.35, 0.6, 0.85},
                             {0.1, 0.3, 0.5, 0.7},
                             {0.2, 0.4, 0.55, 0.9},
                             {0.05, 0.45, 0.65, 0.8}};
    std::uniform_real_distribution<double> height(0.0, 1.0);
    for (int c = 0; c < 4; ++c) {
        for (int i = 0; i < 4; ++i)
            s.curves[c].insert(xs[c][i], height(rng));
        s.curves[c].update_segments();
        s.narrow[c] = s.curves[c];
        const double gap = c % 2 ? 1e-6 : 0.01;
        s.narrow[c].insert(0.62, height(rng));
        s.narrow[c].insert(0.62 + gap, height(rng));
        s.narrow[c].segments_built = false;
        s.narrow[c].update_segments();
    }
}

ClassifySettings settings(PathIntegration integration) {
    ClassifySettings chosen;
    chosen.low = low;
    chosen.range = range;
    chosen.integration = integration;
    return chosen;
}

struct Curves {
    const TransferFunction* p[4];
    explicit Curves(const TransferFunction* f) : p{&f[0], &f[1], &f[2], &f[3]} {}
};

// The random field, forward unless asked.
bool classify_fast(int threads, bool narrow = false,
                   PathIntegration integration = PathIntegration::forward) {
    Scene& s = scene();
    return classify(s.fast, s.data, Curves(narrow ? s.narrow : s.curves).p, settings(integration),
                    threads);
}

bool classify_reference(bool narrow = false) {
    Scene& s = scene();
    return reference_classify(s.reference, s.data, Curves(narrow ? s.narrow : s.curves).p, low,
                              range, PathIntegration::forward);
}

double seconds_fast = 0, seconds_serial = 0, seconds_reference = 0;

template <class F> void timed(benchmark::State& state, double& seconds, F job) {
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!job())
            state.SkipWithError("classification failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    seconds = total / static_cast<double>(state.iterations());
    state.counters["points/s"] = points / seconds;
}

void BM_classify(benchmark::State& s) {
    timed(s, seconds_fast, [] { return classify_fast(0); });
}
void BM_classify_one_thread(benchmark::State& s) {
    timed(s, seconds_serial, [] { return classify_fast(1); });
}
void BM_classify_reference(benchmark::State& s) {
    timed(s, seconds_reference, [] { return classify_reference(); });
}
void BM_classify_scalar_rows(benchmark::State& s) {
    double seconds = 0;
    set_vector_pairs_enabled(false);
    timed(s, seconds, [] { return classify_fast(1); });
    set_vector_pairs_enabled(true);
}
void BM_classify_narrow_curves(benchmark::State& s) {
    double seconds = 0;
    timed(s, seconds, [] { return classify_fast(1, true); });
}

// The same curves on the smooth field: the row pass (with and without its vector form) and
// the reference, where branches on the data are well predicted; forward and exact.
double seconds_smooth[2] = {}, seconds_monthly[2] = {}; // forward, exact

void smooth(benchmark::State& s, PathIntegration integration) {
    timed(s, seconds_smooth[integration == PathIntegration::exact], [integration] {
        Scene& sc = scene();
        return classify(sc.fast, sc.smooth, Curves(sc.curves).p, settings(integration), 1);
    });
}
void BM_smooth_one_thread(benchmark::State& s) {
    smooth(s, PathIntegration::forward);
}
void BM_smooth_exact_one_thread(benchmark::State& s) {
    smooth(s, PathIntegration::exact);
}
void BM_smooth_scalar_rows(benchmark::State& s) {
    set_vector_pairs_enabled(false);
    double seconds = 0;
    timed(s, seconds, [] {
        Scene& sc = scene();
        return classify(sc.fast, sc.smooth, Curves(sc.curves).p, settings(PathIntegration::forward),
                        1);
    });
    set_vector_pairs_enabled(true);
}
void BM_smooth_reference(benchmark::State& s) {
    double seconds = 0;
    timed(s, seconds, [] {
        Scene& sc = scene();
        return reference_classify(sc.reference, sc.smooth, Curves(sc.curves).p, low, range,
                                  PathIntegration::forward);
    });
}

// The twelve-component field, one thread: every point's path rises and falls.
void monthly(benchmark::State& s, PathIntegration integration) {
    timed(s, seconds_monthly[integration == PathIntegration::exact], [integration] {
        Scene& sc = scene();
        return classify(sc.monthly_colour, sc.monthly, Curves(sc.curves).p, settings(integration),
                        1);
    });
}
// A field of one component per point: exact, a path that stays at its value.
double seconds_scalar[2] = {};
void scalar(benchmark::State& s, PathIntegration integration) {
    timed(s, seconds_scalar[integration == PathIntegration::exact], [integration] {
        Scene& sc = scene();
        return classify(sc.fast, sc.scalar, Curves(sc.curves).p, settings(integration), 1);
    });
}
void BM_scalar_one_thread(benchmark::State& s) {
    scalar(s, PathIntegration::forward);
}
void BM_scalar_exact_one_thread(benchmark::State& s) {
    scalar(s, PathIntegration::exact);
}

void BM_monthly_one_thread(benchmark::State& s) {
    monthly(s, PathIntegration::forward);
}
void BM_monthly_exact_one_thread(benchmark::State& s) {
    monthly(s, PathIntegration::exact);
}

BENCHMARK(BM_classify)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_classify_one_thread)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_classify_reference)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_classify_scalar_rows)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_classify_narrow_curves)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_smooth_one_thread)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_smooth_exact_one_thread)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_smooth_scalar_rows)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_smooth_reference)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_monthly_one_thread)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_monthly_exact_one_thread)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_scalar_one_thread)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_scalar_exact_one_thread)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The largest difference between the two colour volumes, relative to the larger of 1 and the
// reference's value; infinite when either has a non-finite sample the other lacks.
double max_difference() {
    const Scene& s = scene();
    double worst = 0.0;
    for (std::int64_t i = 0; i < s.fast.sample_count(); ++i) {
        const double a = s.fast.samples[i], b = s.reference.samples[i];
        if (std::isfinite(a) != std::isfinite(b))
            return INFINITY;
        worst = std::fmax(worst, std::fabs(a - b) / std::fmax(1.0, std::fabs(b)));
    }
    return worst;
}

} // namespace

int main(int argc, char** argv) {
    build_scene();
    for (bool narrow : {false, true}) {
        if (!classify_fast(0, narrow) || !classify_reference(narrow)) {
            std::fprintf(stderr, "classification failed\n");
            return 1;
        }
        // The walks group their sums differently from the reference; with narrow segments a
        // result now and then rounds to the neighbouring float.
        const double difference = max_difference();
        const double allowed = narrow ? 1e-6 : 1e-12;
        std::printf("largest difference from the reference%s: %.3g\n",
                    narrow ? " (narrow curves)" : "", difference);
        if (!(difference <= allowed)) {
            std::fprintf(stderr, "the classification disagrees with the reference\n");
            return 1;
        }
    }
    // The exact mode against its numerical reference, on one plane of the twelve-component
    // field and of the one-component field (the reference is too slow for more).
    for (const Volume* field : {&scene().monthly, &scene().scalar}) {
        Volume plane, colour, reference;
        if (!plane.allocate(field->nx, field->ny, 1, field->ncomp) ||
            !colour.allocate(field->nx, field->ny, 1, 4) ||
            !reference.allocate(field->nx, field->ny, 1, 4))
            return 1;
        std::copy(field->samples, field->samples + plane.sample_count(), plane.samples);
        const Curves curves(scene().curves);
        if (!classify(colour, plane, curves.p, settings(PathIntegration::exact), 1) ||
            !reference_classify(reference, plane, curves.p, low, range, PathIntegration::exact))
            return 1;
        double worst = 0.0;
        for (std::int64_t i = 0; i < colour.sample_count(); ++i)
            worst = std::fmax(worst, std::fabs(colour.samples[i] - reference.samples[i]));
        std::printf("largest difference of the exact mode from its reference (%d component%s): "
                    "%.3g\n",
                    field->ncomp, field->ncomp == 1 ? "" : "s", worst);
        if (!(worst <= 1e-6)) {
            std::fprintf(stderr, "the exact mode disagrees with its reference\n");
            return 1;
        }
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (seconds_fast > 0 && seconds_reference > 0) {
        std::printf("classify: %.1f M grid points/s (one thread %.1f M/s), reference %.1f M/s\n",
                    points / seconds_fast / 1e6,
                    seconds_serial > 0 ? points / seconds_serial / 1e6 : 0.0,
                    points / seconds_reference / 1e6);
        std::printf("speed-up over the reference: %.2fx (one thread %.2fx)\n",
                    seconds_reference / seconds_fast,
                    seconds_serial > 0 ? seconds_reference / seconds_serial : 0.0);
    }
    for (const auto& [name, seconds] : {std::pair{"smooth two-component", seconds_smooth},
                                        std::pair{"twelve-component", seconds_monthly},
                                        std::pair{"one-component", seconds_scalar}})
        if (seconds[0] > 0 && seconds[1] > 0)
            std::printf("exact / forward on the %s field: %.2fx\n", name, seconds[1] / seconds[0]);
    return 0;
}
