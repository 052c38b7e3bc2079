// Writes the bundled sample grid: a synthetic temperature field of 64 x 64 x 48 grid points
// with two components, the temperature at two moments. A warm plume rises from a heater near
// the floor and spreads between the two moments; a solid block holds no data (-9999).
#include <cmath>
#include <cstdio>

namespace {

constexpr int nx = 64;
constexpr int ny = 64;
constexpr int nz = 48;

bool inside_obstacle(int x, int y, int z) {
    return x >= 40 && x < 52 && y >= 8 && y < 22 && z >= 4 && z < 20;
}

// Temperature in degrees at grid point (x, y, z) and time t in [0, 1].
double temperature(int x, int y, int z, double t) {
    const double cx = 28.0 + 4.0 * t;
    const double cy = 34.0;
    const double height = z / double(nz - 1);
    const double spread = 6.0 + 10.0 * height + 4.0 * t;
    const double dx = x - cx - 6.0 * height;
    const double dy = y - cy;
    const double plume = std::exp(-(dx * dx + dy * dy) / (2.0 * spread * spread));
    const double strength = (0.6 + 0.4 * t) * (1.0 - 0.45 * height);
    const double ambient = 12.0 + 10.0 * height + 3.0 * std::sin(0.2 * x) * std::cos(0.15 * y);
    return ambient + 75.0 * strength * plume;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUTPUT.txt\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    // Header: nz ny nx ncomp. Each data line: x y z, then the two temperatures.
    std::fprintf(out, "%d %d %d %d\n", nz, ny, nx, 2);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                if (inside_obstacle(x, y, z)) {
                    std::fprintf(out, "  %d %d %d -9999 -9999\n", x, y, z);
                    continue;
                }
                std::fprintf(out, "  %d %d %d %.3f %.3f\n", x, y, z, temperature(x, y, z, 0.0),
                             temperature(x, y, z, 1.0));
            }
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
