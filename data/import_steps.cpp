#include "import_steps.h"

#include "background_job.h"
#include "c_locale.h"
#include "grid_size.h"
#include "output_file.h"
#include "raw_volume.h"
#include "shown_path.h"
#include "volume.h"

#include <unistd.h>

ImportResult import_failure(ImportPrompts& prompts, const std::string& message, bool show) {
    if (show)
        prompts.show_message(message);
    ImportResult r;
    r.error = message;
    return r;
}

ImportResult import_cancelled() {
    ImportResult r;
    r.cancelled = true;
    r.error = "the import was cancelled";
    return r;
}

ImportResult import_no_memory(ImportPrompts& prompts, std::int64_t nx, std::int64_t ny,
                              std::int64_t nz, std::int64_t ncomp) {
    return import_failure(prompts,
                          format_c("ERROR: not enough memory for a %lld x %lld x %lld grid with "
                                   "%lld components",
                                   static_cast<long long>(nx), static_cast<long long>(ny),
                                   static_cast<long long>(nz), static_cast<long long>(ncomp)));
}

ImportResult open_intermediate(const std::string& grid_path, const ImportOptions& options,
                               ImportPrompts& prompts, OutputFile& out, std::string& intermediate) {
    // The intermediate file is written beside an existing one and replaces it only when the
    // conversion has succeeded (see OutputFile). The grid itself is never written over, nor
    // are the other files kept.
    intermediate =
        options.intermediate_path.empty() ? grid_path + ".dat" : options.intermediate_path;
    std::vector<std::string> keep = options.keep_paths;
    keep.push_back(grid_path);
    if (!out.open(intermediate, keep)) {
        // The reason goes on a line of its own after the fixed text.
        const std::string why = "\"" + shown_path(intermediate) + "\": " + out.failure();
        prompts.show_message("Please select intermediate file for data transformation");
        std::string chosen;
        if (!prompts.ask_save_path(intermediate, chosen))
            return import_failure(prompts, "Select of intermediate file failed\n" + why);
        intermediate = chosen;
        if (!out.open(intermediate, keep))
            return import_failure(prompts,
                                  format_c("Error: \"%s\" is not a valid intermediate file, or "
                                           "is not writable",
                                           shown_path(intermediate).c_str()));
    }
    ImportResult r;
    r.ok = true;
    return r;
}

ImportResult import_write_failure(ImportPrompts& prompts, const std::string& intermediate,
                                  const OutputFile& out) {
    return import_failure(prompts,
                          format_c("Error: \"%s\" could not be written completely%s",
                                   shown_path(intermediate).c_str(),
                                   out.target_lost() ? "; the file that was there could not be "
                                                       "kept and is now empty"
                                                     : ""));
}

namespace {

enum class ReadBack { done, no_memory, cancelled, unreadable };

// Reads the intermediate file back through `written` (or by name when -1) into `new_data`,
// with the mirroring and statistics.
ReadBack read_back(const std::string& intermediate, int written, int nx, int ny, int nz, int ncomp,
                   Volume& new_data, const Volume& data, ImportPrompts& prompts,
                   const ImportOptions& options) {
    const std::int64_t intermediate_bytes = grid_byte_count(nx, ny, nz, std::int64_t{4} * ncomp);
    if (!prompts.progress(ImportStage::reading_back, 0, intermediate_bytes))
        return ReadBack::cancelled;
    RawVolume raw;
    if (!(written >= 0 ? raw.read_descriptor(written, nx, ny, nz, 4 * ncomp, options.map_files)
                       : raw.read(intermediate.c_str(), nx, ny, nz, 4 * ncomp, options.map_files)))
        return ReadBack::unreadable;
    if (!prompts.progress(ImportStage::reading_back, intermediate_bytes, intermediate_bytes))
        return ReadBack::cancelled;
    // A grid without a valid sample keeps the minimum and maximum from before.
    new_data.stat_min = data.stat_min;
    new_data.stat_max = data.stat_max;
    switch (new_data.load_raw(raw, false, true, options.threads,
                              [&](std::int64_t done, std::int64_t total) {
                                  return prompts.progress(ImportStage::loading, done, total);
                              })) {
    case Volume::LoadStatus::done:
        return ReadBack::done;
    case Volume::LoadStatus::no_memory:
        return ReadBack::no_memory;
    case Volume::LoadStatus::stopped:
        return ReadBack::cancelled;
    case Volume::LoadStatus::unreadable:
        break;
    }
    return ReadBack::unreadable;
}

} // namespace

ImportResult finish_import(OutputFile& out, const std::string& intermediate, int nx, int ny, int nz,
                           int ncomp, Volume& new_data, Volume& new_colour, Volume& data,
                           Volume& colour, ImportPrompts& prompts, const ImportOptions& options) {
    const std::int64_t intermediate_bytes = grid_byte_count(nx, ny, nz, std::int64_t{4} * ncomp);
    // The flush to the disk waits mostly for the disk, the read-back mostly for memory: the
    // commit runs on a thread of its own while the file is read back through a descriptor of
    // this import's own. The volumes change only once both have succeeded.
    const int early = out.reading_descriptor();
    bool committed = false;
    BackgroundJob committing;
    if (early >= 0)
        committing.run([&] { committed = out.commit(); });
    else if (!(committed = out.commit()))
        return import_write_failure(prompts, intermediate, out);
    // From here on a Cancel leaves the new intermediate file in place and the volumes as they
    // were.
    const ReadBack read =
        prompts.progress(ImportStage::writing, intermediate_bytes, intermediate_bytes)
            ? read_back(intermediate, early >= 0 ? early : out.written_descriptor(), nx, ny, nz,
                        ncomp, new_data, data, prompts, options)
            : ReadBack::cancelled;
    committing.wait();
    if (early >= 0)
        close(early);
    if (!committed)
        return import_write_failure(prompts, intermediate, out);
    switch (read) {
    case ReadBack::done:
        break;
    case ReadBack::no_memory:
        return import_no_memory(prompts, nx, ny, nz, ncomp);
    case ReadBack::cancelled:
        return import_cancelled();
    case ReadBack::unreadable:
        // The dialog shows nothing when this fails; the reason is still returned.
        return import_failure(
            prompts,
            format_c("ERROR: \"%s\" could not be read back", shown_path(intermediate).c_str()),
            false);
    }
    data.swap_contents(new_data);
    colour.swap_samples(new_colour);
    ImportResult r;
    r.ok = true;
    r.intermediate_path = intermediate;
    return r;
}
