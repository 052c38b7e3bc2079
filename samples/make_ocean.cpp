// Writes a flat test field shaped like an ocean temperature climatology: 180 x 90 cells of
// longitude and latitude, 12 depth levels, two components (two seasons). Continents and the
// sea floor hold no data (-9999), about 40% of the cells; temperatures run from -2 to 30
// degrees, warm at the equator and the surface.
#include "grid_file.h"

#include <cmath>

namespace {

constexpr int nx = 180;
constexpr int ny = 90;
constexpr int nz = 12; // z = nz - 1 is the surface

constexpr double pi = 3.141592653589793;

// Land height above the sea floor, in levels: above nz - 1 is dry land.
double land(int x, int y) {
    const struct {
        double x, y, rx, ry;
    } blobs[] = {{30, 60, 22, 18}, {40, 28, 12, 20}, {95, 62, 35, 16}, {100, 35, 14, 18},
                 {150, 30, 12, 9},  {90, 4, 90, 5},   {130, 70, 20, 10}};
    double h = 0.5 + 2.0 * std::sin(0.09 * x) * std::cos(0.13 * y); // ridges on the floor
    for (const auto& b : blobs) {
        const double dx = (x - b.x) / b.rx, dy = (y - b.y) / b.ry;
        h += 16.0 * std::exp(-(dx * dx + dy * dy) * 1.5);
    }
    return h;
}

double temperature(int y, int z, double season) {
    const double latitude = (y + 0.5) / ny * pi - pi / 2 + season * 0.09;
    const double surface = -2.0 + 32.0 * std::pow(std::cos(latitude), 2.0);
    const double depth = (nz - 1 - z) / double(nz - 1);
    return -2.0 + (surface + 2.0) * std::exp(-3.0 * depth);
}

} // namespace

int main(int argc, char** argv) {
    return write_grid_file(argc, argv, nx, ny, nz, "", 2,
                           [](int x, int y, int z, double& a, double& b) {
                               if (land(x, y) > z)
                                   return false;
                               a = temperature(y, z, -1.0);
                               b = temperature(y, z, 1.0);
                               return true;
                           });
}
