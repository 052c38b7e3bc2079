#include "netcdf_slabs.h"

#include "background_job.h"
#include "c_locale.h"
#include "netcdf_reader.h"

#include "netcdf_api.h"
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// A chunk cache that holds one chunk of a variable whose chunks are larger than the library's
// default cache, up to this size, so that a slab smaller than a chunk does not inflate it anew.
constexpr std::size_t max_chunk_cache = std::size_t{64} << 20;
// Samples in a box of contiguously stored values (see read_grid): 1 MiB of floats.
constexpr std::int64_t small_box_floats = std::int64_t{1} << 18;
// Chunks above this size (and above the samples of the whole grid) are refused: inflating one
// would pass the memory an import may take.
constexpr std::int64_t max_chunk_bytes = std::int64_t{64} << 20;

// Owns a block of memory from std::malloc.
struct Buffer {
    void* p = nullptr;
    explicit Buffer(std::size_t bytes) : p(std::malloc(std::max<std::size_t>(bytes, 1))) {}
    ~Buffer() { std::free(p); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
};

// Refuses chunks that could not be inflated within the memory bound and gives the variable a
// chunk cache that holds one of its chunks.
std::string check_chunks(int ncid, const NetcdfVariable& v, int type_bytes,
                         std::int64_t sample_bytes, std::vector<std::size_t>& chunks) {
    int storage = NC_CONTIGUOUS;
    chunks.assign(v.dims.size(), 0);
    if (v.dims.empty() ||
        netcdf().inq_var_chunking(ncid, v.varid, &storage, chunks.data()) != NC_NOERR ||
        storage != NC_CHUNKED) {
        chunks.clear();
        return {};
    }
    std::int64_t bytes = type_bytes;
    for (const std::size_t c : chunks)
        if (c == 0 || __builtin_mul_overflow(bytes, static_cast<std::int64_t>(c), &bytes))
            return "has a damaged chunk layout in variable " + v.name;
    if (bytes > max_chunk_bytes && bytes > sample_bytes)
        return format_c("cannot be read within the memory bound: variable %s is stored in "
                        "chunks of %lld bytes",
                        v.name.c_str(), static_cast<long long>(bytes));
    std::size_t size = 0, elements = 0;
    float preemption = 0;
    if (netcdf().get_var_chunk_cache(ncid, v.varid, &size, &elements, &preemption) == NC_NOERR &&
        static_cast<std::size_t>(bytes) > size)
        netcdf().set_var_chunk_cache(ncid, v.varid,
                                     std::min(max_chunk_cache, static_cast<std::size_t>(bytes)),
                                     elements, preemption);
    return {};
}

// A box of samples in the order of a variable whose dimensions include the components':
// step[a] and component_step are the strides of x, y, z and the components in it.
struct GatherBox {
    std::int64_t size[3] = {1, 1, 1};
    std::int64_t step[3] = {0, 0, 0};
    std::int64_t component_step = 0;
    std::int64_t ncomp = 1;

    // Copies the box into `out` in the order of the intermediate file, components innermost.
    void gather(const float* box, float* out) const {
        for (std::int64_t z = 0; z < size[2]; ++z)
            for (std::int64_t y = 0; y < size[1]; ++y)
                for (std::int64_t x = 0; x < size[0]; ++x) {
                    const float* from = box + z * step[2] + y * step[1] + x * step[0];
                    for (std::int64_t c = 0; c < ncomp; ++c)
                        *out++ = from[c * component_step];
                }
    }
};

} // namespace

ReadResult read_grid(int ncid, const NetcdfCatalog& catalog, const GridPlan& plan,
                     SampleSink& sink) {
    ReadResult result;
    const std::int64_t nx = plan.extent[0], ny = plan.extent[1], nz = plan.extent[2];
    const std::int64_t ncomp = plan.ncomp;
    const bool by_dimension = plan.components_position >= 0;
    const std::int64_t sample_bytes = nx * ny * nz * ncomp * 4;

    std::vector<ValueRule> rules(plan.variables.size());
    std::vector<std::size_t> chunks;
    int largest_type = 1;
    bool contiguous = true; // every variable
    for (std::size_t i = 0; i < plan.variables.size(); ++i) {
        const NetcdfVariable& v = catalog.variables[plan.variables[i]];
        const std::string why = read_value_rule(ncid, v.varid, rules[i]);
        if (!why.empty()) {
            result.error = "cannot be read: variable " + v.name + ": " + why;
            return result;
        }
        std::vector<std::size_t> var_chunks;
        result.error =
            check_chunks(ncid, v, stored_type_bytes(rules[i].type), sample_bytes, var_chunks);
        if (!result.error.empty())
            return result;
        if (i == 0)
            chunks = var_chunks;
        contiguous = contiguous && var_chunks.empty();
        largest_type = std::max(largest_type, stored_type_bytes(rules[i].type));
    }

    // A box of whole planes, else of whole rows of one plane, else part of one row, as many
    // grid points as one block holds. Along the axis that is cut, a box spans whole chunks
    // where it can, so that no chunk is inflated twice. Values stored contiguously come in
    // smaller boxes, whose stored and converted values stay in the processor's cache between
    // the library's copy and the conversion, and which keep the import's writing going
    // from the first box on.
    const std::int64_t box_floats =
        contiguous ? std::max(small_box_floats, ncomp) : sink.block_floats();
    const std::int64_t capacity = std::min(box_floats, sink.block_floats()) / ncomp;
    if (capacity <= 0) {
        result.error = "has more components per grid point than one block holds";
        return result;
    }
    std::int64_t box[3] = {nx, ny, nz};
    int cut = 2;
    if (nx * ny <= capacity) {
        box[2] = std::min(nz, capacity / (nx * ny));
    } else if (nx <= capacity) {
        box[2] = 1;
        box[1] = capacity / nx;
        cut = 1;
    } else {
        box[2] = box[1] = 1;
        box[0] = capacity;
        cut = 0;
    }
    if (const int p = plan.axis_position[cut]; p >= 0 && !chunks.empty()) {
        const auto c = static_cast<std::int64_t>(chunks[static_cast<std::size_t>(p)]);
        if (c > 0 && c < box[cut])
            box[cut] -= box[cut] % c;
    }
    const std::int64_t box_points = box[0] * box[1] * box[2];
    const std::int64_t values_per_read = box_points * (by_dimension ? ncomp : 1);
    // Two buffers of stored values: one is read into while the other is converted.
    Buffer stored[2] = {Buffer(static_cast<std::size_t>(values_per_read * largest_type)),
                        Buffer(static_cast<std::size_t>(values_per_read * largest_type))};
    Buffer gathered(by_dimension ? static_cast<std::size_t>(values_per_read) * sizeof(float) : 0);
    if (!stored[0].p || !stored[1].p || !gathered.p) {
        result.error = "cannot be read: not enough memory for its slabs";
        return result;
    }

    std::int64_t stored_total = 0;
    for (const ValueRule& r : rules)
        stored_total += nx * ny * nz * (by_dimension ? ncomp : 1) * stored_type_bytes(r.type);
    std::int64_t stored_done = 0;
    const std::size_t rank = catalog.variables[plan.variables[0]].dims.size();
    std::vector<std::size_t> start(rank), count(rank);
    if (by_dimension) {
        count[static_cast<std::size_t>(plan.components_position)] = static_cast<std::size_t>(ncomp);
    }

    // The conversion of the last piece read runs on a thread of its own while the next piece is
    // read; a filled block is handed on once its last piece is converted.
    BackgroundJob job;
    ValueCounts job_counts;
    float* unsent = nullptr; // a block read whole, its conversion perhaps still running
    std::int64_t unsent_count = 0, unsent_done = 0;
    const auto finish_job = [&] {
        job.wait();
        result.counts.missing += job_counts.missing;
        result.counts.low += job_counts.low;
        job_counts = {};
    };
    const auto send_unsent = [&] {
        finish_job();
        const bool sent = !unsent || sink.emit(unsent, unsent_count, unsent_done, stored_total);
        unsent = nullptr;
        return sent;
    };
    int turn = 0;
    for (std::int64_t z0 = 0; z0 < nz; z0 += box[2])
        for (std::int64_t y0 = 0; y0 < ny; y0 += box[1])
            for (std::int64_t x0 = 0; x0 < nx; x0 += box[0]) {
                const std::int64_t origin[3] = {x0, y0, z0};
                std::int64_t size[3];
                for (int a = 0; a < 3; ++a) {
                    size[a] = std::min(box[a], plan.extent[a] - origin[a]);
                    if (const int p = plan.axis_position[a]; p >= 0) {
                        start[static_cast<std::size_t>(p)] = static_cast<std::size_t>(origin[a]);
                        count[static_cast<std::size_t>(p)] = static_cast<std::size_t>(size[a]);
                    }
                }
                const std::int64_t points = size[0] * size[1] * size[2];
                float* const out = sink.next_block();
                if (!out) {
                    finish_job();
                    result.stopped = true;
                    return result;
                }
                for (std::size_t i = 0; i < plan.variables.size(); ++i) {
                    const NetcdfVariable& v = catalog.variables[plan.variables[i]];
                    void* const values_read = stored[turn].p;
                    turn ^= 1;
                    if (int s = netcdf().get_vara(ncid, v.varid, start.data(), count.data(),
                                                  values_read);
                        s != NC_NOERR) {
                        finish_job();
                        result.error =
                            "could not be read: variable " + v.name + ": " + netcdf_status_text(s);
                        return result;
                    }
                    const std::int64_t values = points * (by_dimension ? ncomp : 1);
                    stored_done += values * stored_type_bytes(rules[i].type);
                    // The previous block is complete once the job before this one is done.
                    if (i == 0 && !send_unsent()) {
                        result.stopped = true;
                        return result;
                    }
                    finish_job();
                    const ValueRule& rule = rules[i];
                    if (!by_dimension) {
                        job.run([&rule, values_read, points, out, i, ncomp, &job_counts] {
                            convert_values(rule, values_read, points, out + i, ncomp, job_counts);
                        });
                        continue;
                    }
                    // The box comes in the variable's order; the components go innermost.
                    GatherBox g;
                    g.size[0] = size[0];
                    g.size[1] = size[1];
                    g.size[2] = size[2];
                    std::vector<std::int64_t> stride(rank, 1);
                    for (std::size_t k = rank - 1; k > 0; --k)
                        stride[k - 1] = stride[k] * static_cast<std::int64_t>(count[k]);
                    for (int a = 0; a < 3; ++a)
                        g.step[a] = plan.axis_position[a] >= 0 ? stride[plan.axis_position[a]] : 0;
                    g.component_step = stride[plan.components_position];
                    g.ncomp = ncomp;
                    float* const f = static_cast<float*>(gathered.p);
                    job.run([&rule, values_read, values, f, out, g, &job_counts] {
                        convert_values(rule, values_read, values, f, 1, job_counts);
                        g.gather(f, out);
                    });
                }
                unsent = out;
                unsent_count = points * ncomp;
                unsent_done = stored_done;
            }
    if (!send_unsent())
        result.stopped = true;
    return result;
}
