// Writes the bundled sample grid: a synthetic temperature field of 64 x 64 x 48 grid points
// with two components, the temperature at two moments. A warm plume rises from a heater near
// the floor and spreads between the two moments; a solid block holds no data (-9999).
#include "grid_file.h"

#include <cmath>

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
    // Each data line: x y z, then the temperature at the two moments.
    return write_grid_file(argc, argv, nx, ny, nz, "  ", 3,
                           [](int x, int y, int z, double& a, double& b) {
                               if (inside_obstacle(x, y, z))
                                   return false;
                               a = temperature(x, y, z, 0.0);
                               b = temperature(x, y, z, 1.0);
                               return true;
                           });
}
