#pragma once

// A flat test field shaped like an ocean temperature climatology: 180 x 90 cells of longitude
// and latitude, 12 depth levels, two seasons. Continents and the sea floor hold no data, about
// 40% of the cells; temperatures run from -2 to 30 degrees, warm at the equator and the
// surface. Written as grid text by make_ocean.cpp and as NetCDF by make_ocean_nc.cpp.
#include <cmath>

namespace ocean {

constexpr int nx = 180; // longitude, 2 degrees a cell
constexpr int ny = 90;  // latitude, 2 degrees a cell
constexpr int nz = 12;  // depth levels; z = nz - 1 is the surface

constexpr double pi = 3.141592653589793;

// Land height above the sea floor, in levels: above nz - 1 is dry land.
inline double land(int x, int y) {
    const struct {
        double x, y, rx, ry;
    } blobs[] = {{30, 60, 22, 18}, {40, 28, 12, 20}, {95, 62, 35, 16}, {100, 35, 14, 18},
                 {150, 30, 12, 9}, {90, 4, 90, 5},   {130, 70, 20, 10}};
    double h = 0.5 + 2.0 * std::sin(0.09 * x) * std::cos(0.13 * y); // ridges on the floor
    for (const auto& b : blobs) {
        const double dx = (x - b.x) / b.rx, dy = (y - b.y) / b.ry;
        h += 16.0 * std::exp(-(dx * dx + dy * dy) * 1.5);
    }
    return h;
}

// True where grid point (x, y, z) lies in the water.
inline bool wet(int x, int y, int z) {
    return !(land(x, y) > z);
}

// Temperature in degrees Celsius; season -1 or 1.
inline double temperature(int y, int z, double season) {
    const double latitude = (y + 0.5) / ny * pi - pi / 2 + season * 0.09;
    const double surface = -2.0 + 32.0 * std::pow(std::cos(latitude), 2.0);
    const double depth = (nz - 1 - z) / double(nz - 1);
    return -2.0 + (surface + 2.0) * std::exp(-3.0 * depth);
}

} // namespace ocean
