#include "classify.h"

#include "path_integral.h"
#include "transfer_function.h"
#include "volume.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr double missing_threshold = -100.0;

// Everything that holds for the whole call.
struct ClassifyJob {
    const Volume* source = nullptr;
    Volume* target = nullptr;
    PreparedCurve curves[4]; // red, green, blue, opacity
    double low = 0.0;
    double inv = 0.0;
};

// Grey, with an opacity that grows with the number w of missing points in the 3x3x3 box
// around (x, y, z) clipped to the grid. The divisor d is 8 inside the grid, more on faces,
// edges and corners; it is not the number of box points.
void classify_missing(const Volume& source, int x, int y, int z, float* q) {
    const int c[3] = {x, y, z};
    const int e[3] = {source.nx, source.ny, source.nz};
    int lo[3];
    int hi[3];
    double d = 1.0;
    for (int axis = 0; axis < 3; ++axis) {
        lo[axis] = std::max(c[axis] - 1, 0);
        hi[axis] = std::min(c[axis] + 2, e[axis]);
        d *= 2 + (c[axis] + 2 > e[axis]) + (c[axis] < 1);
    }
    int w = 0;
    for (int bz = lo[2]; bz < hi[2]; ++bz)
        for (int by = lo[1]; by < hi[1]; ++by)
            for (int bx = lo[0]; bx < hi[0]; ++bx)
                w += source.samples[source.flat_index(bx, by, bz, 0)] < missing_threshold;
    q[0] = q[1] = q[2] = 0.75f;
    q[3] = static_cast<float>(0.8 + 0.2 * w / d);
}

// Classifies the z-planes [z_begin, z_end). scratch holds 3 * ncomp doubles.
void classify_slab(const ClassifyJob& job, int z_begin, int z_end, double* scratch) {
    const Volume& source = *job.source;
    const int n = source.ncomp;
    double* t = scratch;
    double* den = scratch + n;
    double* weight = scratch + 2 * n;
    const double r = 1.0 / n;
    const ValuePath path{n, r, t, den, weight};
    const double low = job.low;
    const double inv = job.inv;
    const bool two_values = n == 2;
    const bool ordered = job.curves[0].ordered && job.curves[1].ordered && job.curves[2].ordered &&
                         job.curves[3].ordered;

    for (int z = z_begin; z < z_end; ++z) {
        for (int y = 0; y < source.ny; ++y) {
            const float* p = source.samples + source.flat_index(0, y, z, 0);
            float* q = job.target->samples + job.target->flat_index(0, y, z, 0);
            for (int x = 0; x < source.nx; ++x, p += n, q += 4) {
                if (p[0] < missing_threshold) {
                    classify_missing(source, x, y, z, q);
                    continue;
                }
                if (two_values) {
                    // The common case of two components, all four curves side by side.
                    const double t0 = (p[0] - low) * inv;
                    const double t1 = (p[1] - low) * inv;
                    const double d = (static_cast<double>(p[1]) - p[0]) * inv;
                    const double w = r / d;
                    if (std::isfinite(t0) && std::isfinite(t1) && ordered) {
                        const PreparedCurve* c = job.curves;
                        q[0] = static_cast<float>(integrate_piece_ordered(c[0], t0, t1, d, w, r));
                        q[1] = static_cast<float>(integrate_piece_ordered(c[1], t0, t1, d, w, r));
                        q[2] = static_cast<float>(integrate_piece_ordered(c[2], t0, t1, d, w, r));
                        q[3] = static_cast<float>(2.0 *
                                                  integrate_piece_ordered(c[3], t0, t1, d, w, r));
                        continue;
                    }
                }
                t[0] = (p[0] - low) * inv;
                bool finite = std::isfinite(t[0]);
                for (int j = 1; j < n; ++j) {
                    t[j] = (p[j] - low) * inv;
                    den[j] = (static_cast<double>(p[j]) - p[j - 1]) * inv;
                    weight[j] = r / den[j];
                    finite = finite && std::isfinite(t[j]);
                }
                q[0] = static_cast<float>(integrate_path(job.curves[0], path, finite));
                q[1] = static_cast<float>(integrate_path(job.curves[1], path, finite));
                q[2] = static_cast<float>(integrate_path(job.curves[2], path, finite));
                q[3] = static_cast<float>(2.0 * integrate_path(job.curves[3], path, finite));
            }
        }
    }
}

int choose_threads(int requested, const Volume& source) {
    int threads = requested;
    if (threads <= 0) {
        threads = static_cast<int>(std::thread::hardware_concurrency());
        // Below about 32k grid points a thread costs more than it saves.
        const std::int64_t points = static_cast<std::int64_t>(source.nx) * source.ny * source.nz;
        threads = static_cast<int>(std::min<std::int64_t>(threads, points / 32768));
    }
    return std::clamp(threads, 1, std::max(source.nz, 1));
}

} // namespace

bool classify_volume(Volume& target, const Volume& source, const TransferFunction& red,
                     const TransferFunction& green, const TransferFunction& blue,
                     const TransferFunction& opacity, double low, double range, int threads) {
    if (source.nx != target.nx || source.ny != target.ny || source.nz != target.nz)
        return false;
    if (target.ncomp != 4 || source.ncomp < 1 || !source.samples || !target.samples)
        return false;
    // A zero or non-finite range (or low end) would make every normalised value non-finite.
    if (!std::isfinite(low) || !std::isfinite(range) || range == 0.0)
        return false;

    ClassifyJob job;
    job.source = &source;
    job.target = &target;
    const TransferFunction* curves[4] = {&red, &green, &blue, &opacity};
    for (int i = 0; i < 4; ++i)
        job.curves[i].prepare(curves[i]->segments, curves[i]->count, curves[i]->x);
    job.low = low;
    job.inv = 1.0 / range;

    const int slabs = choose_threads(threads, source);
    const std::size_t per_slab = 3 * static_cast<std::size_t>(source.ncomp);
    std::unique_ptr<double[]> scratch(new (std::nothrow) double[per_slab * slabs]);
    if (!scratch)
        return false;

    // Slab i covers the z-planes [i * nz / slabs, (i + 1) * nz / slabs); the calling thread
    // takes slab 0. A thread that cannot be started leaves its slab to the calling thread.
    const auto z_of = [&](int i) {
        return static_cast<int>(static_cast<std::int64_t>(source.nz) * i / slabs);
    };
    std::vector<std::thread> workers;
    try {
        workers.reserve(slabs - 1);
    } catch (...) {
        // emplace_back below fails the same way and runs each slab here instead.
    }
    for (int i = 1; i < slabs; ++i) {
        try {
            workers.emplace_back(classify_slab, std::cref(job), z_of(i), z_of(i + 1),
                                 scratch.get() + per_slab * i);
        } catch (...) {
            classify_slab(job, z_of(i), z_of(i + 1), scratch.get() + per_slab * i);
        }
    }
    classify_slab(job, z_of(0), z_of(1), scratch.get());
    for (std::thread& worker : workers)
        worker.join();

    target.valid = true;
    return true;
}

bool Volume::classify(const Volume& source, const TransferFunction& red,
                      const TransferFunction& green, const TransferFunction& blue,
                      const TransferFunction& opacity, double low, double range) {
    return classify_volume(*this, source, red, green, blue, opacity, low, range, 0);
}
