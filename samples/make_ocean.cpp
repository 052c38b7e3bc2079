// Writes a flat test field shaped like an ocean temperature climatology: 180 x 90 cells of
// longitude and latitude, 12 depth levels, two components (two seasons). Continents and the
// sea floor hold no data (-9999), about 40% of the cells; temperatures run from -2 to 30
// degrees, warm at the equator and the surface.
#include <cmath>
#include <cstdio>

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
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_ocean OUTPUT.txt\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "%d %d %d %d\n", nz, ny, nx, 2);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                if (land(x, y) > z)
                    std::fprintf(out, "%d %d %d -9999 -9999\n", x, y, z);
                else
                    std::fprintf(out, "%d %d %d %.2f %.2f\n", x, y, z, temperature(y, z, -1.0),
                                 temperature(y, z, 1.0));
            }
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
