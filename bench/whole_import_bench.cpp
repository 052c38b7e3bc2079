// The whole "Open File" as a user waits for it: `halvorn-batch info` run as a separate process
// (start-up, conversion, writing, read-back, mirroring, statistics, exit) on two generated grids,
// beside numpy.loadtxt reading the same file into float32 inside Python, where Python with
// numpy is present. The runs of both alternate, so that both see the same machine load; the
// figures are medians. Also reports the peak resident memory of the import process against the
// bound of twice its samples plus 64 MiB.
//
//   halvorn_whole_import_bench [--runs N] [--small-only] [--baseline OTHER-halvorn-batch]
//
// --baseline runs a second build of halvorn-batch in the same alternation and checks that it
// prints the same statistics and writes the same intermediate file bytes.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef HALVORN_BATCH_PATH
#define HALVORN_BATCH_PATH "halvorn-batch"
#endif

namespace {

struct GridSize {
    int nx, ny, nz;
};

// A smooth temperature field with two components (two moments) and two blocks of missing data
// (-9999), written as the bundled sample is: two spaces, x y z, then the values with three
// decimals.
std::int64_t write_grid(const std::string& path, GridSize g) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return -1;
    static char buffer[1 << 20];
    std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    const auto missing = [&](int x, int y, int z) {
        const bool first = x >= g.nx * 5 / 8 && x < g.nx * 13 / 16 && y >= g.ny / 8 &&
                           y < g.ny * 11 / 32 && z >= g.nz / 12 && z < g.nz * 5 / 12;
        const bool second = x < g.nx / 8 && y >= g.ny * 3 / 4 && z >= g.nz / 2;
        return first || second;
    };
    std::fprintf(f, "%d %d %d %d\n", g.nz, g.ny, g.nx, 2);
    for (int z = 0; z < g.nz; ++z) {
        const double h = z / double(g.nz - 1);
        for (int y = 0; y < g.ny; ++y)
            for (int x = 0; x < g.nx; ++x) {
                if (missing(x, y, z)) {
                    std::fprintf(f, "  %d %d %d -9999 -9999\n", x, y, z);
                    continue;
                }
                double v[2];
                for (int t = 0; t < 2; ++t) {
                    const double dx = (x - g.nx * (0.45 + 0.05 * t)) / g.nx;
                    const double dy = (y - g.ny * 0.5) / g.ny;
                    const double spread = 0.08 + 0.15 * h + 0.05 * t;
                    const double plume = std::exp(-(dx * dx + dy * dy) / (2 * spread * spread));
                    v[t] = 12.0 + 10.0 * h +
                           3.0 * std::sin(12.0 * x / g.nx) * std::cos(9.0 * y / g.ny) +
                           75.0 * (0.6 + 0.4 * t) * (1.0 - 0.45 * h) * plume;
                }
                std::fprintf(f, "  %d %d %d %.3f %.3f\n", x, y, z, v[0], v[1]);
            }
    }
    const long size = std::ftell(f);
    return std::fclose(f) == 0 ? size : -1;
}

struct Run {
    bool ok = false;
    double seconds = 0;
    double peak_mib = 0;
    std::string out;
};

// Runs argv with standard output captured into `out_path`; wall time and peak memory of the
// child alone.
Run run_child(const std::vector<std::string>& args, const std::string& out_path) {
    Run r;
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (!std::freopen(out_path.c_str(), "w", stdout))
            _exit(127);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage use {};
    if (child < 0 || wait4(child, &status, 0, &use) != child)
        return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peak_mib = use.ru_maxrss / 1024.0;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream in(out_path);
    r.out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return r;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A Python that can import numpy, or "" when there is none.
std::string find_numpy_python() {
    for (const char* candidate : {"python3", "/usr/bin/python3"}) {
        const std::string probe =
            std::string(candidate) + " -c 'import numpy' >/dev/null 2>&1 </dev/null";
        if (std::system(probe.c_str()) == 0)
            return candidate;
    }
    return "";
}

// Times only the loadtxt call, inside the Python process: numpy's start-up is not counted.
constexpr const char* loadtxt_script =
    "import sys, time, numpy\n"
    "t = time.perf_counter()\n"
    "a = numpy.loadtxt(sys.argv[1], dtype=numpy.float32, skiprows=1)\n"
    "print(time.perf_counter() - t, a.shape[0])\n";

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct Options {
    int runs = 5;
    bool small_only = false;
    std::string baseline;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--small-only")
            o.small_only = true;
        else if (a == "--baseline" && i + 1 < argc)
            o.baseline = argv[++i];
        else
            return false;
    }
    return true;
}

// Measures one grid size; returns false when a result differs or a run fails.
bool measure(const std::string& dir, GridSize g, const Options& o, const std::string& python) {
    const std::string grid = dir + "/grid-" + std::to_string(g.nx) + "x" + std::to_string(g.ny) +
                             "x" + std::to_string(g.nz) + ".txt";
    const std::int64_t text_bytes = write_grid(grid, g);
    if (text_bytes <= 0) {
        std::fprintf(stderr, "cannot write %s\n", grid.c_str());
        return false;
    }
    // The generated text reaches the disk before anything is timed: otherwise its writing
    // competes with the first imports' flushes.
    sync();
    const double sample_mib = double(g.nx) * g.ny * g.nz * 2 * 4 / (1 << 20);
    std::printf("\ngrid: %d x %d x %d, 2 components, %.1f MB of text, %.1f MiB of samples\n", g.nx,
                g.ny, g.nz, text_bytes / 1e6, sample_mib);
    std::fflush(stdout);

    std::vector<double> own, base, numpy_s, own_peak, base_peak;
    std::string first_out, base_out;
    bool ok = true;
    // A first, unmeasured run warms the page cache with the text.
    run_child({HALVORN_BATCH_PATH, "info", grid, "--intermediate", dir + "/own.dat"}, dir + "/out");
    for (int i = 0; i < o.runs && ok; ++i) {
        const Run r = run_child(
            {HALVORN_BATCH_PATH, "info", grid, "--intermediate", dir + "/own.dat"}, dir + "/out");
        ok = ok && r.ok;
        own.push_back(r.seconds);
        own_peak.push_back(r.peak_mib);
        if (first_out.empty())
            first_out = r.out;
        ok = ok && r.out == first_out;
        if (!o.baseline.empty()) {
            const Run b = run_child({o.baseline, "info", grid, "--intermediate", dir + "/base.dat"},
                                    dir + "/out");
            ok = ok && b.ok;
            base.push_back(b.seconds);
            base_peak.push_back(b.peak_mib);
            base_out = b.out;
        }
        if (!python.empty()) {
            const Run p = run_child({python, "-c", loadtxt_script, grid}, dir + "/out");
            double s = 0;
            long rows = 0;
            if (p.ok && std::sscanf(p.out.c_str(), "%lf %ld", &s, &rows) == 2)
                numpy_s.push_back(s);
        }
    }
    if (!ok) {
        std::printf("a run failed or printed something else\n");
        return false;
    }
    const double t = median(own);
    std::printf("halvorn-batch info: median %.1f ms of %d runs, %.0f MB/s, peak %.1f MiB "
                "(bound 2 x %.1f + 64 = %.1f MiB)\n",
                t * 1e3, o.runs, text_bytes / 1e6 / t, median(own_peak), sample_mib,
                2 * sample_mib + 64);
    std::printf("  %s", first_out.c_str());
    if (!numpy_s.empty()) {
        const double n = median(numpy_s);
        std::printf("numpy.loadtxt (float32, in-process): median %.1f ms, %.0f MB/s; halvorn is "
                    "%.2f times as fast\n",
                    n * 1e3, text_bytes / 1e6 / n, n / t);
    } else {
        std::printf("numpy.loadtxt: not measured (no Python with numpy)\n");
    }
    if (!o.baseline.empty()) {
        const double b = median(base);
        const bool same =
            base_out == first_out && slurp(dir + "/own.dat") == slurp(dir + "/base.dat");
        std::printf("baseline %s: median %.1f ms, %.0f MB/s (%.2f times the time of this "
                    "build), peak %.1f MiB; output and intermediate file identical: %s\n",
                    o.baseline.c_str(), b * 1e3, text_bytes / 1e6 / b, b / t, median(base_peak),
                    same ? "yes" : "NO");
        ok = same;
    }
    std::fflush(stdout);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s [--runs N] [--small-only] [--baseline HALVORN-BATCH]\n",
                     argv[0]);
        return 2;
    }
    char dir[] = "/tmp/halvorn-whole-import-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string python = find_numpy_python();
    bool ok = measure(dir, {128, 128, 64}, o, python);
    if (ok && !o.small_only)
        ok = measure(dir, {256, 256, 128}, o, python);
    if (!std::getenv("HALVORN_KEEP_BENCH_FILES"))
        std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
