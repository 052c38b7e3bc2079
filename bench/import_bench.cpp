// The grid import (conversion, read-back, load with mirror and statistics) against the
// straightforward reference on the same generated grid of 128 x 128 x 64 points with two
// components (1,048,576 lines). Checks that both intermediate files are byte-identical, prints
// the speed ratio, MB/s of text, and the peak memory of an import run alone in a child process.
#include "grid_import.h"
#include "raw_volume.h"
#include "reference_import.h"
#include "volume.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int nx = 128, ny = 128, nz = 64, ncomp = 2;

struct Paths {
    std::string dir, grid, fast, reference;
};

Paths& paths() {
    static Paths p;
    return p;
}

class NoPrompts final : public ImportPrompts {
public:
    void show_message(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    bool ask_save_path(const std::string&, std::string&) override { return false; }
};

std::int64_t write_grid(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> t(5.0f, 95.0f);
    std::fprintf(f, "%d %d %d %d\n", nz, ny, nx, ncomp);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                if (rng() % 100 == 0)
                    std::fprintf(f, "%d %d %d -9999 -9999\n", x, y, z);
                else
                    std::fprintf(f, "%d %d %d %.4f %.4f\n", x, y, z, t(rng), t(rng));
            }
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

bool import_fast(const std::string& out, int threads = 0, bool map_files = true) {
    Volume data, colour;
    NoPrompts prompts;
    ImportOptions options;
    options.intermediate_path = out;
    options.threads = threads;
    options.map_files = map_files;
    return import_grid(paths().grid, data, colour, prompts, options).ok;
}

// The straightforward job: fgets/sscanf/fprintf("%c") conversion, then the same read-back and load.
bool import_reference(const std::string& out) {
    if (!reference_convert(paths().grid, out))
        return false;
    RawVolume raw;
    if (!raw.read(out.c_str(), nx, ny, nz, 4 * ncomp))
        return false;
    Volume data;
    return data.load_raw(raw, false, true);
}

double seconds_fast = 0, seconds_fast_serial = 0, seconds_unmapped = 0, seconds_reference = 0;
std::int64_t text_bytes = 0;

template <class F> void timed(benchmark::State& state, double& seconds, F job) {
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!job())
            state.SkipWithError("import failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    seconds = total / static_cast<double>(state.iterations());
    state.counters["MB/s"] = static_cast<double>(text_bytes) / 1e6 / seconds;
}

void BM_import_fast(benchmark::State& s) {
    timed(s, seconds_fast, [] { return import_fast(paths().fast); });
}
void BM_import_fast_one_thread(benchmark::State& s) {
    timed(s, seconds_fast_serial, [] { return import_fast(paths().fast, 1); });
}
// The files read through buffers rather than mapped: the path a pipe takes.
void BM_import_unmapped(benchmark::State& s) {
    timed(s, seconds_unmapped, [] { return import_fast(paths().fast, 0, false); });
}
void BM_import_reference(benchmark::State& s) {
    timed(s, seconds_reference, [] { return import_reference(paths().reference); });
}

BENCHMARK(BM_import_fast)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_import_unmapped)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_import_fast_one_thread)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_import_reference)->Unit(benchmark::kMillisecond)->Iterations(2);

// Peak resident memory of one import alone, in a child process (MiB).
double peak_import_mib() {
    const pid_t child = fork();
    if (child == 0) {
        const bool ok = import_fast(paths().fast);
        struct rusage use {};
        getrusage(RUSAGE_SELF, &use);
        std::FILE* f = std::fopen((paths().dir + "/peak").c_str(), "w");
        std::fprintf(f, "%ld\n", ok ? use.ru_maxrss : -1L);
        std::fclose(f);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    long kib = -1;
    if (std::FILE* f = std::fopen((paths().dir + "/peak").c_str(), "r")) {
        if (std::fscanf(f, "%ld", &kib) != 1)
            kib = -1;
        std::fclose(f);
    }
    return static_cast<double>(kib) / 1024.0;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv) {
    char dir[] = "/tmp/halvorn-import-bench-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    Paths& p = paths();
    p.dir = dir;
    p.grid = p.dir + "/grid.txt";
    p.fast = p.dir + "/fast.dat";
    p.reference = p.dir + "/reference.dat";
    text_bytes = write_grid(p.grid);

    const double peak = peak_import_mib();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const bool compared = seconds_fast > 0 && seconds_reference > 0;
    const bool identical = !compared || slurp(p.fast) == slurp(p.reference);
    const double sample_mib = double(nx) * ny * nz * ncomp * 4 / (1 << 20);
    std::printf("\ngrid: %d x %d x %d, %d components, %.1f MB of text\n", nx, ny, nz, ncomp,
                text_bytes / 1e6);
    std::printf("intermediate files byte-identical: %s\n", !compared   ? "not compared"
                                                           : identical ? "yes"
                                                                       : "NO");
    if (seconds_fast > 0 && seconds_unmapped > 0)
        std::printf("mapped files: %.2f times as fast as reading them through buffers\n",
                    seconds_unmapped / seconds_fast);
    if (seconds_fast > 0 && seconds_reference > 0)
        std::printf("speed: %.1f times the reference (%.0f MB/s against %.0f MB/s); one thread: "
                    "%.1f times\n",
                    seconds_reference / seconds_fast, text_bytes / 1e6 / seconds_fast,
                    text_bytes / 1e6 / seconds_reference,
                    seconds_fast_serial > 0 ? seconds_reference / seconds_fast_serial : 0.0);
    std::printf("peak memory of one import: %.1f MiB (goal: at most 2 x %.1f + 64 = %.1f MiB)\n",
                peak, sample_mib, 2 * sample_mib + 64);
    if (!std::getenv("HALVORN_KEEP_BENCH_FILES"))
        std::filesystem::remove_all(p.dir);
    return identical ? 0 : 1;
}
