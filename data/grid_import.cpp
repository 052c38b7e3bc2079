#include "grid_import.h"

#include "c_locale.h"
#include "grid_convert.h"
#include "grid_size.h"
#include "grid_text_scanner.h"
#include "import_steps.h"
#include "netcdf_import.h"
#include "open_for_reading.h"
#include "output_file.h"
#include "raw_volume.h"
#include "shown_path.h"
#include "text_blocks.h"
#include "volume.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <sys/stat.h>

namespace {

// The header's four numbers must end within its first this many bytes; the rest of its line
// is skipped unread.
constexpr std::int64_t max_header_bytes = 4096;
// Room for each field that a data line needs (three ignored numbers and the components),
// spaces included. Grid text written by any real program takes a few tens of bytes per field.
constexpr std::int64_t bytes_per_needed_field = 1024;
// How long a FIFO named as the grid may take to get a writer.
constexpr int fifo_writer_wait_ms = 1000;

// Owns a stdio stream and closes it on every way out.
struct FileCloser {
    std::FILE* f = nullptr;
    ~FileCloser() {
        if (f)
            std::fclose(f);
    }
};

ImportResult fail(ImportPrompts& prompts, const std::string& message) {
    return import_failure(prompts, message);
}

ImportResult cancelled() {
    return import_cancelled();
}

// A header line held whole meets the same bound as one cut for being longer than the buffer.
bool header_within_bound(const char* begin, const char* end) {
    const std::int64_t needed = header_needed(begin, end);
    return (needed < 0 ? end - begin : needed) <= max_header_bytes;
}

// Counts the lines left in the stream (for the message about a file that ends early).
std::int64_t count_remaining_lines(TextBlocks& text) {
    // Only the count matters, so nothing of a long line is kept.
    text.set_line_rule([](const char*, const char*) { return std::int64_t{0}; }, 0);
    const char* starts[4097];
    std::int64_t lines = 0;
    for (;;) {
        const std::int64_t n = text.take_lines(4096, starts);
        if (n <= 0)
            return lines;
        lines += n;
    }
}

} // namespace

ImportResult import_grid(const std::string& grid_path, Volume& data, Volume& colour,
                         ImportPrompts& prompts, const ImportOptions& options) {
    if (is_netcdf_grid(grid_path))
        return import_netcdf(grid_path, data, colour, prompts, options);
    // The grid's name as messages show it.
    const std::string grid_name = shown_path(grid_path);
    const char* const grid = grid_name.c_str();
    const std::string unreadable =
        format_c("ERROR: \"%s\" is not a valid file or is not readable", grid);
    // A pipe whose writer is silent keeps the progress window up and Cancel working.
    bool wait_cancelled = false;
    PipeWait wait;
    wait.waiting = [&](std::int64_t bytes_read) {
        wait_cancelled = !prompts.progress(ImportStage::converting, bytes_read, 0);
        return !wait_cancelled;
    };
    FileCloser grid_file;
    struct stat grid_stat {};
    if (!grid_path.empty())
        grid_file.f = open_for_reading(grid_path.c_str(), fifo_writer_wait_ms, wait, &grid_stat);
    // A folder opens for reading on Linux but holds no text.
    if (!grid_file.f || S_ISDIR(grid_stat.st_mode))
        return fail(prompts, unreadable);

    // The header is checked before anything is written, so a file that would be refused
    // never touches an existing intermediate file.
    const std::size_t block_bytes = options.text_block_bytes > 0
                                        ? static_cast<std::size_t>(options.text_block_bytes)
                                        : TextBlocks::default_block_bytes;
    TextBlocks text(grid_file.f, block_bytes);
    if (options.map_files)
        text.map_file();
    text.set_line_rule(header_needed, max_header_bytes);
    const char* header[2];
    int nz = 0, ny = 0, nx = 0, ncomp = 0;
    const std::int64_t got_header = text.take_lines(1, header);
    const std::string bad_header =
        format_c("ERROR: \"%s\" does not begin with a header of four positive integers", grid);
    if (got_header < 0 && wait_cancelled)
        return cancelled();
    if (got_header < 0 && text.failure() != TextBlocks::Failure::line_too_long)
        return fail(prompts, unreadable);
    if (got_header <= 0 || !header_within_bound(header[0], header[1]) ||
        !scan_header(header[0], header[1], nz, ny, nx, ncomp))
        return fail(prompts, bad_header);
    const auto no_memory = [&] { return import_no_memory(prompts, nx, ny, nz, ncomp); };
    const std::int64_t lines = grid_point_count(nx, ny, nz);
    if (lines == 0 || grid_byte_count(nx, ny, nz, std::int64_t{4} * ncomp) == 0)
        return fail(prompts, bad_header);

    // A data line is held only up to the end of the fields it needs; what follows them is
    // dropped unread. The bound on that part is never below the block, which every line
    // shorter than the block meets anyway.
    const std::int64_t needed_fields = 3 + std::int64_t{ncomp};
    const std::int64_t line_bound =
        std::max(static_cast<std::int64_t>(block_bytes), needed_fields * bytes_per_needed_field);
    text.set_line_rule(
        [ncomp](const char* begin, const char* end) { return data_line_needed(begin, end, ncomp); },
        line_bound);

    // Every data line holds at least one byte, so a regular file shorter than the announced
    // line count is known to end early without converting anything.
    if (S_ISREG(grid_stat.st_mode) && grid_stat.st_size - text.consumed() < lines) {
        const std::int64_t found = count_remaining_lines(text);
        return fail(prompts,
                    format_c("ERROR: \"%s\" ends after %lld of %lld data lines", grid,
                             static_cast<long long>(found), static_cast<long long>(lines)));
    }

    // Both volumes are prepared aside and committed only when everything has worked. The
    // colour volume starts zeroed, so the view shows nothing until the next classification.
    Volume new_data;
    Volume new_colour;
    // Bytes per grid point are a 32-bit count: a point of more than 2 GiB cannot be held.
    if (ncomp > INT_MAX / 4 || !new_data.allocate(nx, ny, nz, ncomp) ||
        !new_colour.allocate_zeroed(nx, ny, nz, 4))
        return no_memory();

    std::string intermediate;
    OutputFile out;
    if (ImportResult opened = open_intermediate(grid_path, options, prompts, out, intermediate);
        !opened.ok)
        return opened;

    const ConvertResult converted = convert_grid_lines(
        text, *out.stream(), lines, ncomp, options.threads, [&](std::int64_t done) {
            return prompts.progress(ImportStage::converting, done,
                                    S_ISREG(grid_stat.st_mode) ? grid_stat.st_size : 0);
        });
    const std::int64_t intermediate_bytes = grid_byte_count(nx, ny, nz, std::int64_t{4} * ncomp);
    // The file is complete here; Cancel still leaves an existing intermediate file as it was.
    const bool commit = converted.status == ConvertStatus::done &&
                        prompts.progress(ImportStage::writing, 0, intermediate_bytes);
    if (converted.status != ConvertStatus::done || !commit) {
        const ConvertStatus status = converted.status == ConvertStatus::done && !commit
                                         ? ConvertStatus::cancelled
                                         : converted.status;
        out.discard();
        ImportResult r;
        switch (status) {
        case ConvertStatus::cancelled:
            return cancelled();
        case ConvertStatus::short_text:
            return fail(prompts, format_c("ERROR: \"%s\" ends after %lld of %lld data lines", grid,
                                          static_cast<long long>(converted.lines),
                                          static_cast<long long>(lines)));
        case ConvertStatus::no_memory:
            return no_memory();
        case ConvertStatus::read_failed:
            return wait_cancelled ? cancelled() : fail(prompts, unreadable);
        case ConvertStatus::line_too_long:
            return fail(prompts,
                        format_c("ERROR: \"%s\" line %lld is too long: its first %lld fields "
                                 "take more than %lld bytes",
                                 grid, static_cast<long long>(text.lines_taken() + 1),
                                 static_cast<long long>(needed_fields),
                                 static_cast<long long>(line_bound)));
        case ConvertStatus::write_failed:
        case ConvertStatus::done:
            return import_write_failure(prompts, intermediate, out);
        }
    }
    std::fclose(grid_file.f);
    grid_file.f = nullptr;

    ImportResult r = finish_import(out, intermediate, nx, ny, nz, ncomp, new_data, new_colour, data,
                                   colour, prompts, options);
    r.description.file = grid_path;
    r.description.format = "grid text";
    for (int a = 0; a < 3; ++a)
        r.description.axes[a].extent = a == 0 ? nx : a == 1 ? ny : nz;
    return r;
}
