#include "volume.h"

#include "grid_size.h"

#include <cstdint>
#include <cstdlib>

Volume::~Volume() {
    release_samples();
}

void Volume::release_samples() {
    std::free(samples);
    samples = nullptr;
}

float* Volume::new_samples(std::int64_t n, bool zeroed) {
    if (n <= 0 || static_cast<std::uint64_t>(n) > SIZE_MAX / sizeof(float))
        return nullptr;
    const auto count = static_cast<std::size_t>(n);
    // calloc takes fresh pages for a large block, which the kernel hands out zeroed.
    return static_cast<float*>(zeroed ? std::calloc(count, sizeof(float))
                                      : std::malloc(count * sizeof(float)));
}

int Volume::dim(int axis) const {
    return axis == 0 ? nx : axis == 1 ? ny : nz;
}

std::pair<double, double> Volume::axis_range(int axis) const {
    return {0.0, static_cast<double>(dim(axis))};
}

float Volume::sample_at(double x, double y, double z) const {
    return sample(static_cast<int>(x), static_cast<int>(y), static_cast<int>(z));
}

float Volume::sample(int x, int y, int z) const {
    return samples[flat_index(x, y, z, component)];
}

void Volume::set_sample(int x, int y, int z, float value) {
    samples[flat_index(x, y, z, component)] = value;
}

Vec3 Volume::gradient_at(double x, double y, double z) const {
    return gradient_at_index(static_cast<int>(x), static_cast<int>(y), static_cast<int>(z));
}

void Volume::select_component(int c) {
    component = c;
}
double Volume::min_value() const {
    return stat_min;
}
double Volume::max_value() const {
    return stat_max;
}
double Volume::mean_value() const {
    return stat_mean;
}
double Volume::std_dev() const {
    return stat_std_dev;
}
double Volume::mean_square() const {
    return stat_mean_square;
}
bool Volume::is_rgba() const {
    return rgba;
}

std::int64_t Volume::sample_count() const {
    return samples ? grid_sample_count(nx, ny, nz, ncomp) : 0;
}

bool Volume::allocate(int nx_, int ny_, int nz_, int ncomp_) {
    return allocate_samples(nx_, ny_, nz_, ncomp_, false);
}

bool Volume::allocate_zeroed(int nx_, int ny_, int nz_, int ncomp_) {
    return allocate_samples(nx_, ny_, nz_, ncomp_, true);
}

bool Volume::allocate_samples(int nx_, int ny_, int nz_, int ncomp_, bool zeroed) {
    nx = nx_;
    ny = ny_;
    nz = nz_;
    ncomp = ncomp_;
    release_samples();
    samples = new_samples(grid_sample_count(nx, ny, nz, ncomp), zeroed);
    if (!samples) {
        valid = false;
        return false;
    }
    return true;
}

Vec3 Volume::gradient_at_index(int x, int y, int z) const {
    if (!valid || !samples)
        return {};
    // Move the point inside: upper faces first, then lower ones. An axis shorter than 3 has
    // no interior point; its coordinate stays where it is and its difference is left at 0, so
    // nothing outside the grid is read.
    const auto inside = [](int c, int extent) {
        if (extent < 3)
            return c;
        if (c == extent - 1)
            --c;
        return c < 1 ? 1 : c;
    };
    x = inside(x, nx);
    y = inside(y, ny);
    z = inside(z, nz);
    const std::int64_t i = flat_index(x, y, z, component);
    const std::int64_t sx = ncomp;
    const std::int64_t sy = sx * nx;
    const std::int64_t sz = sy * ny;
    Vec3 g;
    if (nx >= 3)
        g.x = static_cast<double>(samples[i + sx] - samples[i - sx]);
    if (ny >= 3)
        g.y = static_cast<double>(samples[i + sy] - samples[i - sy]);
    if (nz >= 3)
        g.z = static_cast<double>(samples[i + sz] - samples[i - sz]);
    return g;
}

void Volume::swap_samples(Volume& other) {
    std::swap(nx, other.nx);
    std::swap(ny, other.ny);
    std::swap(nz, other.nz);
    std::swap(ncomp, other.ncomp);
    std::swap(samples, other.samples);
}

void Volume::swap_contents(Volume& other) {
    swap_samples(other);
    std::swap(valid, other.valid);
    std::swap(component, other.component);
    std::swap(stat_min, other.stat_min);
    std::swap(stat_max, other.stat_max);
    std::swap(stat_count, other.stat_count);
    std::swap(stat_mean, other.stat_mean);
    std::swap(stat_std_dev, other.stat_std_dev);
    std::swap(stat_mean_square, other.stat_mean_square);
}
