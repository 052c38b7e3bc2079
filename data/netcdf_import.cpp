#include "netcdf_import.h"

#include "c_locale.h"
#include "grid_size.h"
#include "import_steps.h"
#include "message_buffer.h"
#include "netcdf_choice.h"
#include "netcdf_classic_layout.h"
#include "netcdf_reader_main.h"
#include "output_file.h"
#include "reader_process.h"
#include "shown_path.h"
#include "volume.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Floats per shared block: the components of one grid point must fit (see netcdf_choice.cpp).
constexpr std::size_t block_bytes = std::size_t{8} << 20;
constexpr int default_reader_timeout_ms = 60000;
// How often the import reports progress (and so can be cancelled) while it waits for the reader.
constexpr int poll_ms = 100;
constexpr std::int64_t memory_slack = std::int64_t{64} << 20;

std::int64_t physical_memory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && page > 0 ? static_cast<std::int64_t>(pages) * page : INT64_MAX;
}

void to_little_endian(float* samples, std::int64_t n) {
    if constexpr (std::endian::native == std::endian::big) {
        auto* words = reinterpret_cast<std::uint32_t*>(samples);
        for (std::int64_t i = 0; i < n; ++i)
            words[i] = __builtin_bswap32(words[i]);
    }
}

ImportResult run_import(const std::string& name, const ReaderJob& job, const ByteSource& bytes,
                        Volume& data, Volume& colour, ImportPrompts& prompts,
                        const ImportOptions& options) {
    const std::string file = "ERROR: \"" + shown_path(name) + "\" ";
    const auto fail = [&](const std::string& message) { return import_failure(prompts, message); };
    unsigned char head[8] = {};
    if (bytes.read(0, head, sizeof head) < 4 || !has_netcdf_signature(head, sizeof head))
        return fail(file + "is not a NetCDF file: it does not begin with a NetCDF or HDF5 "
                           "signature");
    // The library reads past the end of a cut classic file as zeros, and takes a damaged
    // header's counts at their word: both are found from the header first.
    if (std::memcmp(head, "CDF", 3) == 0)
        if (const std::string damaged = check_classic_layout(bytes); !damaged.empty())
            return fail(file + damaged);
    ReaderProcess process;
    if (!process.start(block_bytes, reader_main, const_cast<ReaderJob*>(&job)))
        return fail(file + "cannot be read: no process could be started to read it");

    // Waits for the reader's next message, reporting progress meanwhile. Anything but a
    // message ends the import, with `outcome` saying how.
    const int timeout_ms =
        options.reader_timeout_ms > 0 ? options.reader_timeout_ms : default_reader_timeout_ms;
    std::int64_t done = 0, total = 0; // bytes of stored values read, as the reader last said
    ImportResult outcome;
    const auto next = [&](std::int64_t& type, std::string& payload) {
        for (int waited = 0;;) {
            switch (process.receive(type, payload, poll_ms)) {
            case ReaderProcess::Received::message:
                if (type != failure_message)
                    return true;
                process.wait();
                outcome = fail(file + payload);
                return false;
            case ReaderProcess::Received::closed: {
                const std::string how = process.wait();
                outcome = fail(file +
                               "could not be read: the NetCDF library failed on it (its "
                               "reader " +
                               (how.empty() ? std::string("ended early") : how) +
                               "); the file is probably damaged");
                return false;
            }
            case ReaderProcess::Received::timeout:
                waited += poll_ms;
                if (!prompts.progress(ImportStage::converting, done, total)) {
                    outcome = import_cancelled();
                    return false;
                }
                if (waited >= timeout_ms) {
                    outcome = fail(file + format_c("could not be read: the NetCDF library gave no "
                                                   "sign of life for %d s; the file is probably "
                                                   "damaged",
                                                   timeout_ms / 1000));
                    return false;
                }
            }
        }
    };

    std::int64_t type = 0;
    std::string payload;
    if (!next(type, payload))
        return outcome;
    NetcdfCatalog catalog;
    MessageIn listed(payload);
    if (type != catalog_message || !catalog.read(listed))
        return fail(file + "could not be read: its reader sent a damaged catalog");

    VariableChoice requested;
    requested.variables = options.variables;
    requested.components_dimension = options.components_dimension;
    GridPlan plan;
    if (const std::string refused = plan_grid(name, catalog, requested, prompts, plan);
        !refused.empty())
        return fail(refused);
    const int nx = static_cast<int>(plan.extent[0]);
    const int ny = static_cast<int>(plan.extent[1]);
    const int nz = static_cast<int>(plan.extent[2]);
    const int ncomp = static_cast<int>(plan.ncomp);
    const std::int64_t sample_bytes = grid_byte_count(nx, ny, nz, std::int64_t{4} * ncomp);
    const std::int64_t limit =
        options.memory_limit_bytes > 0 ? options.memory_limit_bytes : physical_memory();
    if (sample_bytes > (limit - memory_slack) / 2)
        return fail(file + format_c("cannot be read within the memory bound: its %d x %d x %d "
                                    "grid with %d component%s needs %lld MiB (its samples "
                                    "twice and 64 MiB), more than the %lld MiB there are",
                                    nx, ny, nz, ncomp, ncomp == 1 ? "" : "s",
                                    static_cast<long long>((2 * sample_bytes + memory_slack) >> 20),
                                    static_cast<long long>(limit >> 20)));
    Volume new_data;
    Volume new_colour;
    if (!new_data.allocate(nx, ny, nz, ncomp) || !new_colour.allocate_zeroed(nx, ny, nz, 4))
        return import_no_memory(prompts, nx, ny, nz, ncomp);
    std::string intermediate;
    OutputFile out;
    if (ImportResult opened = open_intermediate(name, options, prompts, out, intermediate);
        !opened.ok)
        return opened;

    MessageOut planned;
    plan.write(planned);
    process.send(plan_message, planned.bytes());
    GridDescription description;
    description.file = name;
    description.format = catalog.format;
    const NetcdfVariable& first = catalog.variables[plan.variables[0]];
    for (const int v : plan.variables)
        description.variables.push_back({catalog.variables[v].name, catalog.variables[v].long_name,
                                         catalog.variables[v].units});
    if (!next(type, payload) || type != axes_message) {
        out.discard();
        return outcome.error.empty() ? fail(file + "could not be read: its reader sent no "
                                                   "coordinates")
                                     : outcome;
    }
    MessageIn axes(payload);
    for (int a = 0; a < 4; ++a) {
        GridAxis& axis = a < 3 ? description.axes[a] : description.components;
        read_axis_coordinates(axes, axis);
        const int p = a < 3 ? plan.axis_position[a] : plan.components_position;
        if (p >= 0) {
            axis.name = catalog.dimensions[first.dims[p]].name;
            axis.extent = catalog.dimensions[first.dims[p]].length;
        }
        if (axis.values.size() != static_cast<std::size_t>(axis.extent))
            axis.values.clear();
    }

    // The samples, block by block, written as they come.
    std::int64_t written = 0;
    for (;;) {
        if (!next(type, payload)) {
            out.discard();
            return outcome;
        }
        MessageIn in(payload);
        if (type == done_message) {
            description.missing_count = in.i64();
            description.low_value_count = in.i64();
            break;
        }
        const std::int64_t index = in.i64(), count = in.i64();
        done = in.i64();
        total = in.i64();
        if (type != block_message || !in.ok() || (index != 0 && index != 1) || count < 0 ||
            static_cast<std::size_t>(count) > block_bytes / sizeof(float) ||
            written + count > sample_bytes / 4) {
            out.discard();
            return fail(file + "could not be read: its reader sent damaged samples");
        }
        auto* samples = static_cast<float*>(process.block(static_cast<int>(index)));
        to_little_endian(samples, count);
        if (std::fwrite(samples, sizeof(float), static_cast<std::size_t>(count), out.stream()) !=
            static_cast<std::size_t>(count)) {
            out.discard();
            return fail(
                format_c("Error: \"%s\" could not be written completely", intermediate.c_str()));
        }
        written += count;
        out.write_behind();
        if (!prompts.progress(ImportStage::converting, done, total)) {
            out.discard();
            return import_cancelled();
        }
        MessageOut freed;
        freed.i64(index);
        process.send(free_message, freed.bytes());
    }
    // Everything has come: the reader need not even close the file, and its memory is given
    // back before the load takes the samples twice. The system takes it down while the file
    // is committed and read back; the reader is waited for at the end.
    process.kill_now();
    if (written != sample_bytes / 4) {
        out.discard();
        return fail(file + "could not be read: its reader sent too few samples");
    }
    if (!prompts.progress(ImportStage::writing, 0, sample_bytes)) {
        out.discard();
        return import_cancelled();
    }
    ImportResult r = finish_import(out, intermediate, nx, ny, nz, ncomp, new_data, new_colour, data,
                                   colour, prompts, options);
    if (r.ok)
        r.description = std::move(description);
    return r;
}

bool has_extension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    const char* ext = path.c_str() + dot;
    return strcasecmp(ext, ".nc") == 0 || strcasecmp(ext, ".nc4") == 0 ||
           strcasecmp(ext, ".cdf") == 0;
}

// Opens a regular file for reading; -1 for anything else. Other kinds are not even opened: a
// FIFO opened and closed again would let its writer go on into a pipe without a reader.
int open_regular(const std::string& path, struct stat& st) {
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd);
        return -1;
    }
    return fd;
}

// The first bytes of a regular file; fewer (or none) when it is shorter or cannot be read.
std::size_t first_bytes(const std::string& path, unsigned char* to, std::size_t n) {
    struct stat st {};
    const int fd = open_regular(path, st);
    if (fd < 0)
        return 0;
    const ssize_t got = pread(fd, to, n, 0);
    close(fd);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

} // namespace

bool has_netcdf_signature(const void* bytes, std::size_t size) {
    const auto* b = static_cast<const unsigned char*>(bytes);
    if (size >= 4 && std::memcmp(b, "CDF", 3) == 0 && (b[3] == 1 || b[3] == 2 || b[3] == 5))
        return true;
    return size >= 8 && std::memcmp(b, "\x89HDF\r\n\x1a\n", 8) == 0;
}

bool is_netcdf_grid(const std::string& path) {
    if (has_extension(path))
        return true;
    unsigned char head[8];
    return has_netcdf_signature(head, first_bytes(path, head, sizeof head));
}

ImportResult import_netcdf(const std::string& path, Volume& data, Volume& colour,
                           ImportPrompts& prompts, const ImportOptions& options) {
    // Only a regular file can be read: the library seeks in it.
    struct stat st {};
    const int fd = open_regular(path, st);
    if (fd < 0) {
        return import_failure(
            prompts,
            format_c("ERROR: \"%s\" is not a valid file or is not readable", path.c_str()));
    }
    const FileBytes bytes(fd, st.st_size);
    ReaderJob job;
    job.path = path;
    const ImportResult r = run_import(path, job, bytes, data, colour, prompts, options);
    close(fd);
    return r;
}

ImportResult import_netcdf_memory(const std::string& name, const void* bytes, std::size_t size,
                                  Volume& data, Volume& colour, ImportPrompts& prompts,
                                  const ImportOptions& options) {
    ReaderJob job;
    job.path = name;
    job.memory = bytes;
    job.size = static_cast<std::int64_t>(size);
    return run_import(name, job, MemoryBytes(bytes, job.size), data, colour, prompts, options);
}
