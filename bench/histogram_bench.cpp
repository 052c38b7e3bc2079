// The histogram behind a curve panel (270 columns) of a 256 x 256 x 128 grid with two
// components: a smooth field with missing blocks, as measured data come. count_values (four
// interleaved tables, split between threads) against the plain loop: one table, one thread.
// Both must give the same counts; compare their times for the ratio.
#include "value_histogram.h"
#include "volume.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr int bins = 270;
constexpr double first = -10.0, last = 110.0;

Volume& field() {
    static Volume v;
    if (!v.samples) {
        v.allocate(256, 256, 128, 2);
        for (int z = 0; z < 128; ++z)
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    const bool missing = (x / 40 + y / 50 + z / 30) % 7 == 0;
                    const double t =
                        15.0 + 12.0 * std::sin(x * 0.05) * std::cos(y * 0.04) + 0.2 * z;
                    for (int c = 0; c < 2; ++c)
                        v.samples[v.flat_index(x, y, z, c)] =
                            missing ? -9999.0f : static_cast<float>(t + 3.0 * c);
                }
    }
    return v;
}

ValueHistogram plain_count(const Volume& v) {
    ValueHistogram h;
    h.counts.assign(bins, 0);
    const double scale = bins / (last - first);
    for (std::int64_t i = 0; i < v.sample_count(); ++i) {
        const float s = v.samples[i];
        if (!(s > -100.0f))
            continue;
        ++h.total;
        const double t = (s - first) * scale;
        if (t < 0.0)
            ++h.below;
        else if (t >= bins)
            ++h.above;
        else
            ++h.counts[static_cast<int>(t)];
    }
    return h;
}

void BM_count_values(benchmark::State& state) {
    ValueHistogram h;
    for (auto _ : state) {
        count_values(field(), first, last, bins, h);
        benchmark::DoNotOptimize(h.counts.data());
    }
}

void BM_plain(benchmark::State& state) {
    for (auto _ : state) {
        ValueHistogram h = plain_count(field());
        benchmark::DoNotOptimize(h.counts.data());
    }
}

BENCHMARK(BM_count_values)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_plain)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    ValueHistogram fast;
    count_values(field(), first, last, bins, fast);
    const ValueHistogram plain = plain_count(field());
    const bool same = fast.counts == plain.counts && fast.below == plain.below &&
                      fast.above == plain.above && fast.total == plain.total;
    std::printf("same counts: %s\n", same ? "yes" : "NO");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return same ? 0 : 1;
}
