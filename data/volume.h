#pragma once

#include "vec3.h"

#include <cstdint>
#include <functional>
#include <utility>

class RawVolume;

// How classification colours a missing grid point (is_missing_point of its first component):
// grey with an opacity that grows with the missing points around it, the same grey at a tenth of
// that opacity, or fully transparent (red, green, blue and opacity all 0).
enum class MissingData { grey, faint, hidden };

// A regular nx x ny x nz grid of float32 samples with ncomp interleaved components per grid
// point: the flat index of (x, y, z, c) is ((z * ny + y) * nx + x) * ncomp + c. The accessors
// do not check their arguments; they sit in the inner loops of loading, classification and
// rendering.
class Volume {
public:
    Volume() = default;
    virtual ~Volume();
    Volume(const Volume&) = delete;
    Volume& operator=(const Volume&) = delete;

    virtual int dim(int axis) const;
    virtual std::pair<double, double> axis_range(int axis) const;
    virtual float sample_at(double x, double y, double z) const;
    virtual float sample(int x, int y, int z) const;
    virtual void set_sample(int x, int y, int z, float value);
    virtual Vec3 gradient_at(double x, double y, double z) const;
    virtual void select_component(int c);
    virtual double min_value() const;
    virtual double max_value() const;
    virtual double mean_value() const;
    virtual double std_dev() const;
    virtual double mean_square() const;
    virtual bool is_rgba() const;

    // Sets the extents and gives the volume an uninitialised sample array. Returns false and
    // clears `valid` when the sample count is not positive or memory runs out; a success leaves
    // `valid`, `component`, `rgba` and the statistics as they were. Never throws.
    bool allocate(int nx, int ny, int nz, int ncomp);

    // allocate() with every sample 0.0f. Large arrays come from the system already zeroed, so
    // the memory is not written here at all.
    bool allocate_zeroed(int nx, int ny, int nz, int ncomp);

    // Central difference of the current component (not halved, in grid units). Along an axis
    // whose extent is below 3 the difference is 0; a volume that is not valid gives (0, 0, 0).
    Vec3 gradient_at_index(int x, int y, int z) const;

    // Copies the raw samples in, optionally byte-swapped and mirrored along x, and computes the
    // statistics of the samples above -100. Returns false only when memory runs out. Defined
    // in volume_load.cpp.
    bool load_raw(const RawVolume& raw, bool byte_swap, bool mirror_x);

    // unreadable: the raw bytes, a mapped file, were cut short by another program meanwhile.
    enum class LoadStatus { done, no_memory, stopped, unreadable };

    // load_raw() with the copy spread over `threads` threads (0: one per hardware thread). The
    // samples and statistics are bit for bit those of load_raw(): the sums are still taken in
    // file order, on the calling thread, while the other threads mirror and copy. `progress`
    // (may be empty) is called on the calling thread with the work done so far out of its
    // total; when it returns false the load stops and the volume is left not valid.
    LoadStatus load_raw(const RawVolume& raw, bool byte_swap, bool mirror_x, int threads,
                        const std::function<bool(std::int64_t done, std::int64_t total)>& progress);

    // Exchanges everything but `rgba` with `other`: lets a load be prepared aside and
    // committed only when it has fully succeeded.
    void swap_contents(Volume& other);

    // Exchanges only the extents, component count and sample arrays with `other`.
    void swap_samples(Volume& other);

    // Samples in the array: nx * ny * nz * ncomp in 64 bits (0 when there is none).
    std::int64_t sample_count() const;

    std::int64_t flat_index(int x, int y, int z, int c) const {
        return ((static_cast<std::int64_t>(z) * ny + y) * nx + x) * ncomp + c;
    }

    int nx = 0;
    int ny = 0;
    int nz = 0;
    int ncomp = 0;
    bool valid = false;
    float* samples = nullptr; // released with std::free
    int component = 0;
    double stat_min = 0.0;
    double stat_max = 0.0;
    std::int64_t stat_count = 0; // 64-bit: a large grid can hold more than 2^31 samples
    double stat_mean = 0.0;
    double stat_std_dev = 0.0;
    double stat_mean_square = 0.0;
    bool rgba = false;

private:
    bool allocate_samples(int nx, int ny, int nz, int ncomp, bool zeroed);
    // An array of n floats from std::malloc (or std::calloc when zeroed); null when n is not
    // positive or memory runs out.
    static float* new_samples(std::int64_t n, bool zeroed);
    void release_samples();
};
