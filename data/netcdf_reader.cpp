#include "netcdf_reader.h"

#include "c_locale.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <netcdf.h>
#include <netcdf_mem.h>
#include <strings.h>
#include <thread>

namespace {

// Text attributes are kept up to this length (they are shown, not parsed).
constexpr std::size_t max_text_attribute = 4096;
// A chunk cache that holds one chunk of a variable whose chunks are larger than the library's
// default cache, up to this size, so that a slab smaller than a chunk does not inflate it anew.
constexpr std::size_t max_chunk_cache = std::size_t{64} << 20;
// Chunks above this size (and above the samples of the whole grid) are refused: inflating one
// would pass the memory an import may take.
constexpr std::int64_t max_chunk_bytes = std::int64_t{64} << 20;

bool stored_type_of(nc_type type, StoredType& stored) {
    switch (type) {
    case NC_BYTE:
        stored = StoredType::int8;
        return true;
    case NC_UBYTE:
        stored = StoredType::uint8;
        return true;
    case NC_SHORT:
        stored = StoredType::int16;
        return true;
    case NC_USHORT:
        stored = StoredType::uint16;
        return true;
    case NC_INT:
        stored = StoredType::int32;
        return true;
    case NC_UINT:
        stored = StoredType::uint32;
        return true;
    case NC_INT64:
        stored = StoredType::int64;
        return true;
    case NC_UINT64:
        stored = StoredType::uint64;
        return true;
    case NC_FLOAT:
        stored = StoredType::float32;
        return true;
    case NC_DOUBLE:
        stored = StoredType::float64;
        return true;
    default:
        return false;
    }
}

// The attribute as text (char or string); empty when it is missing or of another type.
std::string text_attribute(int ncid, int varid, const char* name) {
    nc_type type = NC_NAT;
    std::size_t length = 0;
    if (nc_inq_att(ncid, varid, name, &type, &length) != NC_NOERR)
        return {};
    if (type == NC_CHAR) {
        std::string s(length, '\0');
        if (nc_get_att_text(ncid, varid, name, s.data()) != NC_NOERR)
            return {};
        s.resize(std::min(std::strlen(s.c_str()), max_text_attribute));
        return s;
    }
    if (type == NC_STRING && length >= 1) {
        std::vector<char*> strings(length, nullptr);
        if (nc_get_att_string(ncid, varid, name, strings.data()) != NC_NOERR)
            return {};
        std::string s = strings[0] ? strings[0] : "";
        nc_free_string(length, strings.data());
        s.resize(std::min(s.size(), max_text_attribute));
        return s;
    }
    return {};
}

std::string long_name_of(int ncid, int varid) {
    const std::string name = text_attribute(ncid, varid, "long_name");
    return name.empty() ? text_attribute(ncid, varid, "standard_name") : name;
}

bool is_numeric(nc_type type) {
    StoredType ignored;
    return stored_type_of(type, ignored);
}

// The numeric attribute's values as doubles; empty when it is missing or not numeric.
std::vector<double> number_attribute(int ncid, int varid, const char* name, nc_type& type) {
    std::size_t length = 0;
    type = NC_NAT;
    if (nc_inq_att(ncid, varid, name, &type, &length) != NC_NOERR || !is_numeric(type) ||
        length == 0)
        return {};
    std::vector<double> values(length);
    if (nc_get_att_double(ncid, varid, name, values.data()) != NC_NOERR)
        return {};
    return values;
}

nc_type unsigned_of(nc_type type) {
    switch (type) {
    case NC_BYTE:
        return NC_UBYTE;
    case NC_SHORT:
        return NC_USHORT;
    case NC_INT:
        return NC_UINT;
    case NC_INT64:
        return NC_UINT64;
    default:
        return type;
    }
}

// A value of the signed type `type` read as its unsigned counterpart (_Unsigned = "true").
double as_unsigned(double v, nc_type type) {
    if (v >= 0)
        return v;
    switch (type) {
    case NC_BYTE:
        return v + 256.0;
    case NC_SHORT:
        return v + 65536.0;
    case NC_INT:
        return v + 4294967296.0;
    case NC_INT64:
        return v + 18446744073709551616.0;
    default:
        return v;
    }
}

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
    if (v.dims.empty() || nc_inq_var_chunking(ncid, v.varid, &storage, chunks.data()) != NC_NOERR ||
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
    if (nc_get_var_chunk_cache(ncid, v.varid, &size, &elements, &preemption) == NC_NOERR &&
        static_cast<std::size_t>(bytes) > size)
        nc_set_var_chunk_cache(ncid, v.varid,
                               std::min(max_chunk_cache, static_cast<std::size_t>(bytes)), elements,
                               preemption);
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

// Runs one job at a time on a thread of its own; where no thread can be started, at once.
class BackgroundJob {
public:
    ~BackgroundJob() { wait(); }
    void run(std::function<void()> job) {
        wait();
        job_ = std::move(job);
        try {
            thread_ = std::thread([this] { job_(); });
        } catch (...) {
            job_();
        }
    }
    void wait() {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::function<void()> job_;
    std::thread thread_;
};

} // namespace

int open_netcdf(const std::string& path, const void* memory, std::int64_t size, int& ncid) {
    if (memory)
        return nc_open_mem(path.c_str(), NC_NOWRITE, static_cast<std::size_t>(size),
                           const_cast<void*>(memory), &ncid);
    // A relative path that looks like a URL would be fetched over the network.
    const std::string local = !path.empty() && path[0] == '/' ? path : "./" + path;
    return nc_open(local.c_str(), NC_NOWRITE, &ncid);
}

std::string netcdf_status_text(int status) {
    return nc_strerror(status);
}

int read_catalog(int ncid, NetcdfCatalog& catalog) {
    catalog = {};
    int formatx = 0, mode = 0;
    if (int s = nc_inq_format_extended(ncid, &formatx, &mode); s != NC_NOERR)
        return s;
    if (formatx == NC_FORMATX_NC3)
        catalog.format = (mode & NC_64BIT_DATA)     ? "CDF-5"
                         : (mode & NC_64BIT_OFFSET) ? "netCDF 64-bit offset"
                                                    : "netCDF classic";
    else if (formatx == NC_FORMATX_NC_HDF5)
        catalog.format = "netCDF-4";
    else
        catalog.format = "NetCDF";

    int ndims = 0;
    if (int s = nc_inq_dimids(ncid, &ndims, nullptr, 0); s != NC_NOERR)
        return s;
    std::vector<int> dimids(static_cast<std::size_t>(std::max(ndims, 0)));
    if (int s = nc_inq_dimids(ncid, &ndims, dimids.data(), 0); s != NC_NOERR)
        return s;
    int nunlimited = 0;
    std::vector<int> unlimited;
    if (nc_inq_unlimdims(ncid, &nunlimited, nullptr) == NC_NOERR && nunlimited > 0) {
        unlimited.resize(static_cast<std::size_t>(nunlimited));
        nc_inq_unlimdims(ncid, &nunlimited, unlimited.data());
    }
    for (const int id : dimids) {
        char name[NC_MAX_NAME + 1] = {};
        std::size_t length = 0;
        if (int s = nc_inq_dim(ncid, id, name, &length); s != NC_NOERR)
            return s;
        NetcdfDimension d;
        d.name = name;
        d.length = length > static_cast<std::size_t>(INT64_MAX) ? INT64_MAX
                                                                : static_cast<std::int64_t>(length);
        d.unlimited = std::find(unlimited.begin(), unlimited.end(), id) != unlimited.end();
        catalog.dimensions.push_back(d);
    }

    int nvars = 0;
    if (int s = nc_inq_varids(ncid, &nvars, nullptr); s != NC_NOERR)
        return s;
    std::vector<int> varids(static_cast<std::size_t>(std::max(nvars, 0)));
    if (int s = nc_inq_varids(ncid, &nvars, varids.data()); s != NC_NOERR)
        return s;
    for (const int id : varids) {
        char name[NC_MAX_NAME + 1] = {};
        nc_type type = NC_NAT;
        int rank = 0;
        if (int s = nc_inq_var(ncid, id, name, &type, &rank, nullptr, nullptr); s != NC_NOERR)
            return s;
        std::vector<int> ids(static_cast<std::size_t>(std::max(rank, 0)));
        if (int s = nc_inq_vardimid(ncid, id, ids.data()); s != NC_NOERR)
            return s;
        NetcdfVariable v;
        v.name = name;
        v.varid = id;
        char type_name[NC_MAX_NAME + 1] = {};
        std::size_t type_size = 0;
        if (nc_inq_type(ncid, type, type_name, &type_size) == NC_NOERR)
            v.type_name = type_name;
        v.numeric = is_numeric(type);
        v.text = type == NC_CHAR || type == NC_STRING;
        bool known = true;
        for (const int d : ids) {
            const auto at = std::find(dimids.begin(), dimids.end(), d);
            known = known && at != dimids.end();
            if (known)
                v.dims.push_back(static_cast<int>(at - dimids.begin()));
        }
        if (!known)
            continue; // a dimension of another group: not a grid this import reads
        v.long_name = long_name_of(ncid, id);
        v.units = text_attribute(ncid, id, "units");
        catalog.variables.push_back(v);
    }
    return NC_NOERR;
}

void read_axis(int ncid, const NetcdfCatalog& catalog, int dimension, GridAxis& axis) {
    const NetcdfDimension& d = catalog.dimensions[dimension];
    const int index = catalog.find(d.name);
    if (index < 0)
        return;
    const NetcdfVariable& v = catalog.variables[index];
    if (!v.numeric || v.dims.size() != 1 || v.dims[0] != dimension)
        return;
    axis.units = text_attribute(ncid, v.varid, "units");
    axis.long_name = v.long_name;
    axis.positive = text_attribute(ncid, v.varid, "positive");
    if (d.length <= 0 || d.length > max_coordinate_values)
        return;
    std::vector<double> values(static_cast<std::size_t>(d.length));
    if (nc_get_var_double(ncid, v.varid, values.data()) != NC_NOERR)
        return;
    nc_type type;
    const std::vector<double> scale = number_attribute(ncid, v.varid, "scale_factor", type);
    const std::vector<double> offset = number_attribute(ncid, v.varid, "add_offset", type);
    for (double& x : values)
        x = x * (scale.empty() ? 1.0 : scale[0]) + (offset.empty() ? 0.0 : offset[0]);
    axis.values = std::move(values);
}

std::string read_value_rule(int ncid, int varid, ValueRule& rule) {
    rule = {};
    nc_type type = NC_NAT;
    if (int s = nc_inq_vartype(ncid, varid, &type); s != NC_NOERR)
        return netcdf_status_text(s);
    const bool is_unsigned =
        unsigned_of(type) != type &&
        strcasecmp(text_attribute(ncid, varid, "_Unsigned").c_str(), "true") == 0;
    const nc_type effective = is_unsigned ? unsigned_of(type) : type;
    if (!stored_type_of(effective, rule.type))
        return "its values are not numbers";
    // Values of an attribute of the variable's own (signed) type follow _Unsigned too.
    // The type as declared, before _Unsigned: the fill value comes in it.
    StoredType declared = rule.type;
    stored_type_of(type, declared);
    const auto as_read = [&](double v, nc_type attribute_type) {
        return is_unsigned && attribute_type == type ? as_unsigned(v, type) : v;
    };

    nc_type scale_type = NC_NAT, offset_type = NC_NAT;
    const std::vector<double> scale = number_attribute(ncid, varid, "scale_factor", scale_type);
    const std::vector<double> offset = number_attribute(ncid, varid, "add_offset", offset_type);
    rule.packed = !scale.empty() || !offset.empty();
    rule.scale = scale.empty() ? 1.0 : scale[0];
    rule.offset = offset.empty() ? 0.0 : offset[0];
    const nc_type unpacked_type = !scale.empty() ? scale_type : offset_type;

    nc_type fill_type = NC_NAT;
    const bool has_fill = !number_attribute(ncid, varid, "_FillValue", fill_type).empty();
    int no_fill = 0;
    unsigned char fill[8] = {};
    if (nc_inq_var_fill(ncid, varid, &no_fill, fill) == NC_NOERR && (has_fill || !no_fill))
        rule.add_missing(as_read(stored_value(declared, fill), type));
    nc_type missing_type = NC_NAT;
    for (const double m : number_attribute(ncid, varid, "missing_value", missing_type))
        rule.add_missing(as_read(m, missing_type));

    nc_type range_type = NC_NAT, min_type = NC_NAT, max_type = NC_NAT;
    const std::vector<double> range = number_attribute(ncid, varid, "valid_range", range_type);
    const std::vector<double> low = number_attribute(ncid, varid, "valid_min", min_type);
    const std::vector<double> high = number_attribute(ncid, varid, "valid_max", max_type);
    // Range attributes of the unpacked type (that of scale_factor) are in unpacked units.
    const auto unpacked_units = [&](nc_type t) {
        return rule.packed && t != type && t == unpacked_type;
    };
    if (range.size() >= 2) {
        rule.valid_min = as_read(range[0], range_type);
        rule.valid_max = as_read(range[1], range_type);
        rule.valid_unpacked = unpacked_units(range_type);
    } else {
        if (!low.empty())
            rule.valid_min = as_read(low[0], min_type);
        if (!high.empty())
            rule.valid_max = as_read(high[0], max_type);
        rule.valid_unpacked = unpacked_units(!low.empty() ? min_type : max_type);
    }
    return {};
}

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
        largest_type = std::max(largest_type, stored_type_bytes(rules[i].type));
    }

    // A box of whole planes, else of whole rows of one plane, else part of one row, as many
    // grid points as one block holds. Along the axis that is cut, a box spans whole chunks
    // where it can, so that no chunk is inflated twice.
    const std::int64_t capacity = sink.block_floats() / ncomp;
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
                    if (int s = nc_get_vara(ncid, v.varid, start.data(), count.data(), values_read);
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
