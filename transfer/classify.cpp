#include "classify.h"

#include "classify_vector.h"

#include "path_integral.h"
#include "shared_constants.h"
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

// Everything that holds for the whole call.
struct ClassifyJob {
    const Volume* source = nullptr;
    Volume* target = nullptr;
    PreparedCurve curves[4]; // red, green, blue, opacity
    double low = 0.0;
    double inv = 0.0;
    MissingData missing = MissingData::grey;
    PathIntegration integration = PathIntegration::exact;
    // The four-lane pass reads every segment in the absolute x; a curve with a narrow segment
    // takes the scalar row pass, which computes the same thing lane by lane.
    bool vector_pairs = false;
    // Two-component points through ordered curves go row by row (classify_row_of_pairs).
    bool pairs = false;
    // Bit c set: channel c is computed; the others keep what the target holds. Missing points
    // are written whole: their grey does not depend on the curves.
    int channels = 0xF;
    // When set, only these grid points; two-component rows are classified whole.
    const GridLattice* lattice = nullptr;
};

// Grey, with an opacity that grows with the number w of missing points in the 3x3x3 box
// around (x, y, z) clipped to the grid. The divisor d is 8 inside the grid, more on faces,
// edges and corners; it is not the number of box points. "Faint" keeps a tenth of that
// opacity; "hidden" leaves nothing to draw.
void classify_missing(const ClassifyJob& job, int x, int y, int z, float* q) {
    if (job.missing == MissingData::hidden) {
        q[0] = q[1] = q[2] = q[3] = 0.0f;
        return;
    }
    const Volume& source = *job.source;
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
    const std::int64_t step_x = source.ncomp;
    const std::int64_t step_y = step_x * source.nx;
    const std::int64_t step_z = step_y * source.ny;
    const float* plane = source.samples + source.flat_index(lo[0], lo[1], lo[2], 0);
    for (int bz = lo[2]; bz < hi[2]; ++bz, plane += step_z) {
        const float* row = plane;
        for (int by = lo[1]; by < hi[1]; ++by, row += step_y)
            for (int bx = 0; bx < hi[0] - lo[0]; ++bx)
                w += is_missing_point(row[bx * step_x]);
    }
    q[0] = q[1] = q[2] = 0.75f;
    const double opacity = 0.8 + 0.2 * w / d;
    q[3] = static_cast<float>(job.missing == MissingData::faint ? 0.1 * opacity : opacity);
}

// Per-thread working memory: a point's path for the general walk, and for the two-component
// rows the normalised values and weights of a whole row with the list of its special points.
struct Scratch {
    double* t;
    double* den;
    double* weight;
    double* row_t0;
    double* row_t1;
    double* row_weight;
    int* special;
    int* row_b0; // the search table buckets of row_t0 and row_t1
    int* row_b1;

    // A path holds at least two values: a single one counts twice in the exact mode.
    static std::size_t path(int ncomp) { return std::max<std::size_t>(ncomp, 2); }
    static std::size_t doubles(int ncomp, int nx) { return 3 * path(ncomp) + 3 * std::size_t(nx); }
    static std::size_t ints(int nx) { return 3 * std::size_t(nx); }

    Scratch(double* block, int* indices, int ncomp, int nx)
        : t(block), den(block + path(ncomp)), weight(block + 2 * path(ncomp)),
          row_t0(block + 3 * path(ncomp)), row_t1(row_t0 + nx), row_weight(row_t1 + nx),
          special(indices), row_b0(indices + nx), row_b1(indices + 2 * nx) {}
};

// What channel c's mean is multiplied by: opacity is doubled, colour is not.
double channel_factor(int c) {
    return c == 3 ? opacity_factor : 1.0;
}

// One grid point that is not missing, through the general walk.
void classify_point(const ClassifyJob& job, const float* p, float* q, const Scratch& scratch) {
    float twice[2];
    const int n = path_samples(p, job.source->ncomp, job.integration, twice);
    const ValuePath path =
        value_path(p, n, job.low, job.inv, scratch.t, scratch.den, scratch.weight);
    for (int c = 0; c < 4; ++c) {
        if (!(job.channels >> c & 1))
            continue;
        const double mean = integrate_path(job.curves[c], path, job.integration);
        q[c] = static_cast<float>(channel_factor(c) * mean);
    }
}

// Normalises the two-component points [begin, end) of a row p into the row buffers, turning
// descending pieces upwards in the exact mode (a template, so that the forward mode pays
// nothing for it), and lists the special points: missing, or a piece that is not ordinary.
template <bool exact>
void normalise_pairs(const ClassifyJob& job, const float* p, int begin, int end,
                     const Scratch& scratch, int& specials) {
    const PreparedCurve& table = job.curves[0]; // all four share the table's span
    for (int x = begin; x < end; ++x) {
        const float s0 = p[2 * x];
        const float s1 = p[2 * x + 1];
        const double from = normalised(s0, job.low, job.inv);
        const double to = normalised(s1, job.low, job.inv);
        const double weight = 0.5 / piece_length(s0, s1, job.inv);
        const bool down = exact && to < from;
        scratch.row_t0[x] = pick(down, to, from);
        scratch.row_t1[x] = pick(down, from, to);
        scratch.row_weight[x] = pick(down, -weight, weight);
        scratch.row_b0[x] = table.bucket(scratch.row_t0[x]);
        scratch.row_b1[x] = table.bucket(scratch.row_t1[x]);
        const bool special = is_missing_point(s0) || !ordinary_piece(from, to, weight);
        scratch.special[specials] = x;
        specials += special;
    }
}

// A row of two-component grid points through ordered curves, in three passes: normalise the
// row (in the exact mode turning descending pieces upwards) and note its special points
// (missing, or a piece that is not ordinary); run each curve along the whole row without a
// branch on the data, so that consecutive points overlap in the processor; then redo the
// special points one by one.
void classify_row_of_pairs(const ClassifyJob& job, int y, int z, const Scratch& scratch) {
    const Volume& source = *job.source;
    const int nx = source.nx;
    const float* p = source.samples + source.flat_index(0, y, z, 0);
    float* q = job.target->samples + job.target->flat_index(0, y, z, 0);
    const double* t0 = scratch.row_t0;
    const double* t1 = scratch.row_t1;
    const double* w = scratch.row_weight;
    const int* b0 = scratch.row_b0;
    const int* b1 = scratch.row_b1;
    int specials = 0;
    const bool exact = job.integration == PathIntegration::exact;
    const int done = job.vector_pairs
                         ? classify_pairs_vector(job.curves, job.channels, p, nx, job.low, job.inv,
                                                 exact, q, scratch.special, specials)
                         : 0;
    if (exact)
        normalise_pairs<true>(job, p, done, nx, scratch, specials);
    else
        normalise_pairs<false>(job, p, done, nx, scratch, specials);
    for (int c = 0; c < 4; ++c) {
        if (!(job.channels >> c & 1))
            continue;
        const PreparedCurve& curve = job.curves[c];
        const double factor = channel_factor(c);
        for (int x = done; x < nx; ++x)
            q[4 * x + c] = static_cast<float>(
                factor * integrate_piece_in(curve, t0[x], t1[x], w[x], b0[x], b1[x]));
    }
    for (int i = 0; i < specials; ++i) {
        const int x = scratch.special[i];
        if (is_missing_point(p[2 * x]))
            classify_missing(job, x, y, z, q + 4 * x);
        else
            classify_point(job, p + 2 * x, q + 4 * x, scratch);
    }
}

// Classifies the z-planes [z_begin, z_end), or with a lattice the lattice's planes of those
// positions in its list.
void classify_slab(const ClassifyJob& job, int z_begin, int z_end, Scratch scratch) {
    const Volume& source = *job.source;
    const GridLattice* lattice = job.lattice;
    const int n = source.ncomp;
    const int rows = lattice ? static_cast<int>(lattice->y.size()) : source.ny;
    for (int i = z_begin; i < z_end; ++i) {
        const int z = lattice ? lattice->z[i] : i;
        for (int j = 0; j < rows; ++j) {
            const int y = lattice ? lattice->y[j] : j;
            if (job.pairs) {
                classify_row_of_pairs(job, y, z, scratch);
                continue;
            }
            const float* p = source.samples + source.flat_index(0, y, z, 0);
            float* q = job.target->samples + job.target->flat_index(0, y, z, 0);
            const auto one = [&](int x) {
                if (is_missing_point(p[std::int64_t(n) * x]))
                    classify_missing(job, x, y, z, q + 4 * std::int64_t(x));
                else
                    classify_point(job, p + std::int64_t(n) * x, q + 4 * std::int64_t(x), scratch);
            };
            if (lattice)
                for (const int x : lattice->x)
                    one(x);
            else
                for (int x = 0; x < source.nx; ++x)
                    one(x);
        }
    }
}

// Threads for `points` grid points of `ncomp` components in `planes` z-planes.
int choose_threads(int requested, std::int64_t points, int ncomp, int planes) {
    int threads = requested;
    if (threads <= 0) {
        threads = static_cast<int>(std::thread::hardware_concurrency());
        // Below about 32k pieces of paths (grid points of two components) a thread costs more
        // than it saves.
        const std::int64_t pieces = points * std::max(ncomp - 1, 1);
        threads = static_cast<int>(std::min<std::int64_t>(threads, pieces / 32768));
    }
    return std::clamp(threads, 1, std::max(planes, 1));
}

bool run_classification(Volume& target, const Volume& source,
                        const TransferFunction* const (&curves)[4],
                        const ClassifySettings& settings, int threads, int channels,
                        ClassifyPlan* plan, const GridLattice* lattice);

} // namespace

bool classify(Volume& target, const Volume& source, const TransferFunction* const (&curves)[4],
              const ClassifySettings& settings, int threads) {
    return classify_channels(target, source, curves, settings, threads, 0xF, nullptr);
}

bool classify_channels(Volume& target, const Volume& source,
                       const TransferFunction* const (&curves)[4], const ClassifySettings& settings,
                       int threads, int channels, ClassifyPlan* plan) {
    return run_classification(target, source, curves, settings, threads, channels, plan, nullptr);
}

bool classify_lattice(Volume& target, const Volume& source,
                      const TransferFunction* const (&curves)[4], const ClassifySettings& settings,
                      const GridLattice& lattice, int channels, int threads) {
    const auto inside = [](const std::vector<int>& list, int n) {
        return std::all_of(list.begin(), list.end(), [n](int i) { return i >= 0 && i < n; });
    };
    if (!inside(lattice.x, source.nx) || !inside(lattice.y, source.ny) ||
        !inside(lattice.z, source.nz))
        return false;
    return run_classification(target, source, curves, settings, threads, channels, nullptr,
                              &lattice);
}

namespace {

bool run_classification(Volume& target, const Volume& source,
                        const TransferFunction* const (&curves)[4],
                        const ClassifySettings& settings, int threads, int channels,
                        ClassifyPlan* plan, const GridLattice* lattice) {
    const double low = settings.low;
    const double range = settings.range;
    if (source.nx != target.nx || source.ny != target.ny || source.nz != target.nz)
        return false;
    // A zero or non-finite range (or low end) would make every normalised value non-finite.
    if (!std::isfinite(low) || !std::isfinite(range) || range == 0.0)
        return false;
    // A grid without points (two empty volumes before the first import) is classified by
    // doing nothing.
    if (static_cast<std::int64_t>(source.nx) * source.ny * source.nz == 0) {
        target.valid = true;
        return true;
    }
    if (target.ncomp != 4 || source.ncomp < 1 || !source.samples || !target.samples)
        return false;

    ClassifyJob job;
    job.source = &source;
    job.target = &target;
    for (int i = 0; i < 4; ++i)
        job.curves[i].prepare(curves[i]->segments, curves[i]->count, curves[i]->x);
    // One search table span for all four curves, so that each value's bucket is found once.
    double lo = 0.0, hi = 0.0;
    for (const PreparedCurve& curve : job.curves) {
        for (int k = 0; k < curve.count; ++k) {
            lo = std::min(lo, curve.x[k]);
            hi = std::max(hi, curve.x[k]);
        }
    }
    for (PreparedCurve& curve : job.curves)
        curve.search_over(lo, hi);
    job.low = low;
    job.inv = 1.0 / range;
    job.missing = settings.missing;
    job.integration = settings.integration;
    job.vector_pairs = vector_pairs_available();
    job.pairs = source.ncomp == 2;
    for (const PreparedCurve& curve : job.curves) {
        job.vector_pairs = job.vector_pairs && !curve.shifted;
        job.pairs = job.pairs && curve.ordered && curve.crowd == 1;
    }
    job.channels = channels & 0xF;
    job.lattice = lattice;
    if (plan)
        *plan = {job.pairs, job.pairs && job.vector_pairs};

    const std::int64_t points =
        lattice ? lattice->points() : static_cast<std::int64_t>(source.nx) * source.ny * source.nz;
    const int planes = lattice ? static_cast<int>(lattice->z.size()) : source.nz;
    const int slabs = choose_threads(threads, points, source.ncomp, planes);
    const std::size_t per_slab = Scratch::doubles(source.ncomp, source.nx);
    std::unique_ptr<double[]> block(new (std::nothrow) double[per_slab * slabs]);
    const std::size_t ints_per_slab = Scratch::ints(source.nx);
    std::unique_ptr<int[]> indices(new (std::nothrow) int[ints_per_slab * slabs]);
    if (!block || !indices)
        return false;
    const auto scratch = [&](int i) {
        return Scratch(block.get() + per_slab * i, indices.get() + ints_per_slab * i, source.ncomp,
                       source.nx);
    };

    // Slab i covers the z-planes [i * nz / slabs, (i + 1) * nz / slabs) (of a lattice's
    // planes); the calling thread takes slab 0. A thread that cannot be started leaves its
    // slab to the calling thread.
    const auto z_of = [&](int i) {
        return static_cast<int>(static_cast<std::int64_t>(planes) * i / slabs);
    };
    std::vector<std::thread> workers;
    try {
        workers.reserve(slabs - 1);
    } catch (...) {
        // emplace_back below fails the same way and runs each slab here instead.
    }
    for (int i = 1; i < slabs; ++i) {
        try {
            workers.emplace_back(classify_slab, std::cref(job), z_of(i), z_of(i + 1), scratch(i));
        } catch (...) {
            classify_slab(job, z_of(i), z_of(i + 1), scratch(i));
        }
    }
    classify_slab(job, z_of(0), z_of(1), scratch(0));
    for (std::thread& worker : workers)
        worker.join();

    target.valid = true;
    return true;
}

} // namespace
