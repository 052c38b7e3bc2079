// The whole "Open File" of a NetCDF grid as a user waits for it, beside the text import of the
// same grid: each import runs as a separate process, halvorn_import_driver (start-up,
// conversion, writing, read-back, mirroring, statistics, exit) on a smooth float32 field of 256 x
// 256 x 128 points with two components and two blocks of missing data. The NetCDF file holds the
// components as two variables; it is written as 64-bit offset (classic) and as netCDF-4, plain and
// compressed. The text holds the same numbers with three decimals, so all imports must write the
// same intermediate file (checked). Runs alternate between the files so that all see the same
// machine load; figures are medians. Also reports the peak resident memory of the importing
// process and of its NetCDF reader process against the bound of twice the samples plus 64 MiB.
//
//   halvorn_netcdf_import_bench [--runs N] [--small]
//
// HALVORN_KEEP_BENCH_FILES=1 keeps the generated files in /tmp.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netcdf.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct GridSize {
    int nx, ny, nz;
};

// The field of the whole-import benchmark: value t of grid point (x, y, z), or -9999.
float field(GridSize g, int t, int x, int y, int z) {
    const bool first = x >= g.nx * 5 / 8 && x < g.nx * 13 / 16 && y >= g.ny / 8 &&
                       y < g.ny * 11 / 32 && z >= g.nz / 12 && z < g.nz * 5 / 12;
    const bool second = x < g.nx / 8 && y >= g.ny * 3 / 4 && z >= g.nz / 2;
    if (first || second)
        return -9999.0f;
    const double h = z / double(g.nz - 1);
    const double dx = (x - g.nx * (0.45 + 0.05 * t)) / g.nx;
    const double dy = (y - g.ny * 0.5) / g.ny;
    const double spread = 0.08 + 0.15 * h + 0.05 * t;
    const double plume = std::exp(-(dx * dx + dy * dy) / (2 * spread * spread));
    const double v = 12.0 + 10.0 * h + 3.0 * std::sin(12.0 * x / g.nx) * std::cos(9.0 * y / g.ny) +
                     75.0 * (0.6 + 0.4 * t) * (1.0 - 0.45 * h) * plume;
    // Rounded to the three decimals the text holds.
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return std::strtof(text, nullptr);
}

bool write_text(const std::string& path, GridSize g) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "%d %d %d %d\n", g.nz, g.ny, g.nx, 2);
    for (int z = 0; z < g.nz; ++z)
        for (int y = 0; y < g.ny; ++y)
            for (int x = 0; x < g.nx; ++x)
                std::fprintf(f, "  %d %d %d %.3f %.3f\n", x, y, z, field(g, 0, x, y, z),
                             field(g, 1, x, y, z));
    return std::fclose(f) == 0;
}

bool write_netcdf(const std::string& path, GridSize g, int mode, bool compressed) {
    int id, d[3], v[2];
    if (nc_create(path.c_str(), mode, &id) != NC_NOERR)
        return false;
    bool ok = nc_def_dim(id, "z", g.nz, &d[0]) == NC_NOERR &&
              nc_def_dim(id, "y", g.ny, &d[1]) == NC_NOERR &&
              nc_def_dim(id, "x", g.nx, &d[2]) == NC_NOERR;
    const float fill = -9999.0f;
    for (int t = 0; t < 2 && ok; ++t) {
        ok = nc_def_var(id, t ? "B" : "A", NC_FLOAT, 3, d, &v[t]) == NC_NOERR &&
             nc_put_att_float(id, v[t], "_FillValue", NC_FLOAT, 1, &fill) == NC_NOERR;
        if (ok && compressed) {
            const std::size_t chunks[3] = {8, 64, static_cast<std::size_t>(g.nx)};
            ok = nc_def_var_chunking(id, v[t], NC_CHUNKED, chunks) == NC_NOERR &&
                 nc_def_var_deflate(id, v[t], 1, 1, 1) == NC_NOERR;
        }
    }
    ok = ok && nc_enddef(id) == NC_NOERR;
    std::vector<float> plane(static_cast<std::size_t>(g.nx) * g.ny);
    for (int z = 0; z < g.nz && ok; ++z)
        for (int t = 0; t < 2 && ok; ++t) {
            for (int y = 0; y < g.ny; ++y)
                for (int x = 0; x < g.nx; ++x)
                    plane[static_cast<std::size_t>(y) * g.nx + x] = field(g, t, x, y, z);
            const std::size_t start[3] = {static_cast<std::size_t>(z), 0, 0};
            const std::size_t count[3] = {1, static_cast<std::size_t>(g.ny),
                                          static_cast<std::size_t>(g.nx)};
            ok = nc_put_vara_float(id, v[t], start, count, plane.data()) == NC_NOERR;
        }
    return nc_close(id) == NC_NOERR && ok;
}

struct Run {
    bool ok = false;
    double seconds = 0;
    double own_mib = 0, reader_mib = 0;
    double conversion = 0; // seconds from the start of the import to the intermediate file complete
    double loaded = 0;     // and to the grid loaded
    std::string stats;
};

Run run_child(const std::string& grid, const std::string& intermediate, bool netcdf,
              const std::string& out_path) {
    Run r;
    std::fflush(stdout); // or the child would print it again
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (!std::freopen(out_path.c_str(), "w", stdout))
            _exit(127);
        execl(HALVORN_IMPORT_DRIVER, HALVORN_IMPORT_DRIVER, grid.c_str(), intermediate.c_str(),
              netcdf ? "A,B" : "", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream in(out_path);
    std::getline(in, r.stats);
    long own = 0, reader = 0;
    in >> own >> reader >> r.conversion >> r.loaded;
    r.own_mib = own / 1024.0;
    r.reader_mib = reader / 1024.0;
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    GridSize g{256, 256, 128};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--small") == 0)
            g = {64, 64, 32};
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--small]\n", argv[0]);
            return 2;
        }
    }
    char dir[] = "/tmp/halvorn-netcdf-bench-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string d = dir;
    struct Input {
        const char* label;
        std::string path;
        bool netcdf;
        std::vector<double> seconds, own, reader, conversion, loaded;
        std::string stats;
    };
    std::vector<Input> inputs = {
        {"grid text", d + "/grid.txt", false, {}, {}, {}, {}, {}, {}},
        {"NetCDF 64-bit offset", d + "/grid-cdf2.nc", true, {}, {}, {}, {}, {}, {}},
        {"netCDF-4", d + "/grid-nc4.nc", true, {}, {}, {}, {}, {}, {}},
        {"netCDF-4, deflated", d + "/grid-zip.nc", true, {}, {}, {}, {}, {}, {}}};
    const bool written = write_text(inputs[0].path, g) &&
                         write_netcdf(inputs[1].path, g, NC_CLOBBER | NC_64BIT_OFFSET, false) &&
                         write_netcdf(inputs[2].path, g, NC_CLOBBER | NC_NETCDF4, false) &&
                         write_netcdf(inputs[3].path, g, NC_CLOBBER | NC_NETCDF4, true);
    // The generated files reach the disk before anything is timed: otherwise their writing
    // (hundreds of MB) competes with the first imports' flushes.
    sync();
    const double sample_mb = 4.0 * g.nx * g.ny * g.nz * 2 / 1e6;
    const double sample_mib = sample_mb * 1e6 / (1 << 20);
    std::printf("grid: %d x %d x %d points, 2 components, %.1f MB of float32 samples\n", g.nx, g.ny,
                g.nz, sample_mb);
    bool ok = written;
    std::string first_dat;
    for (int i = -1; i < runs && ok; ++i) // run -1 warms the page cache
        for (Input& in : inputs) {
            const std::string dat = d + "/out.dat";
            const Run r = run_child(in.path, dat, in.netcdf, d + "/out.txt");
            ok = ok && r.ok;
            if (i < 0) {
                ok = ok && (first_dat.empty() || slurp(dat) == first_dat);
                if (first_dat.empty())
                    first_dat = slurp(dat);
                in.stats = r.stats;
                continue;
            }
            in.seconds.push_back(r.seconds);
            in.own.push_back(r.own_mib);
            in.reader.push_back(r.reader_mib);
            in.conversion.push_back(r.conversion);
            in.loaded.push_back(r.loaded);
        }
    if (!ok) {
        std::printf("an import failed or wrote another intermediate file\n");
        std::filesystem::remove_all(d);
        return 1;
    }
    const double text_s = median(inputs[0].seconds);
    std::printf("median of %d runs; every import wrote the same intermediate file\n", runs);
    for (const Input& in : inputs) {
        const std::uintmax_t bytes = std::filesystem::file_size(in.path);
        const double s = median(in.seconds);
        const double c = median(in.conversion);
        std::printf("%-22s %6.1f MB file: whole import %7.1f ms, %5.0f MB/s of samples, %5.2f x "
                    "the text import's speed; conversion %6.1f ms, %5.0f MB/s; grid loaded in "
                    "the program after %6.1f ms; peak %.1f MiB (reader %.1f MiB; bound 2 x %.1f + "
                    "64 = %.1f MiB)\n",
                    in.label, bytes / 1e6, s * 1e3, sample_mb / s, text_s / s, c * 1e3,
                    sample_mb / c, median(in.loaded) * 1e3, median(in.own), median(in.reader),
                    sample_mib, 2 * sample_mib + 64);
    }
    std::printf("statistics (count mean std min max): %s\n", inputs[0].stats.c_str());
    if (!std::getenv("HALVORN_KEEP_BENCH_FILES"))
        std::filesystem::remove_all(d);
    return 0;
}
