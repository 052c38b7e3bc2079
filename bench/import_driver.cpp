// One import as `halvorn-batch info` runs it, with the variables of a NetCDF file named, for
// the NetCDF benchmark:
//
//   halvorn_import_driver GRID INTERMEDIATE [VAR,VAR...]
//
// Prints the statistics (count, mean, standard deviation, minimum, maximum), then the peak
// resident memory of this process and of its NetCDF reader process in KiB, the seconds from
// the start of the import to the intermediate file complete, and to the grid loaded (what the
// dialog waits for; the process still ends after it). Linked like the programs: the
// NetCDF library is loaded only when a NetCDF file is read.
#include "grid_import.h"
#include "volume.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <sys/resource.h>

namespace {

// Shows messages on standard error and notes how long the conversion takes: from the start of
// the import (opening the file included) to the first progress report of `writing`, when the
// intermediate file is complete.
class TimingPrompts final : public ImportPrompts {
public:
    void show_message(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    bool ask_save_path(const std::string&, std::string&) override { return false; }
    bool progress(ImportStage stage, std::int64_t, std::int64_t) override {
        const auto now = std::chrono::steady_clock::now();
        if (stage == ImportStage::writing && !written)
            written = now;
        return true;
    }
    double seconds_since_start() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    double conversion_seconds() const {
        return written ? std::chrono::duration<double>(*written - start).count() : 0;
    }

private:
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> written;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s GRID INTERMEDIATE [VAR,VAR...]\n", argv[0]);
        return 2;
    }
    const std::string grid = argv[1], intermediate = argv[2];
    const std::string variables = argc == 4 ? argv[3] : "";
    Volume data, colour;
    TimingPrompts prompts;
    ImportOptions options;
    options.intermediate_path = intermediate;
    if (!variables.empty() && !parse_variable_list(variables, options.variables))
        return 2;
    const ImportResult r = import_grid(grid, data, colour, prompts, options);
    if (!r.ok)
        return 1;
    const double imported = prompts.seconds_since_start();
    struct rusage self {};
    struct rusage children {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    std::printf("%lld %.6f %.6f %.6f %.6f\n%ld %ld %.6f %.6f\n",
                static_cast<long long>(data.stat_count), data.stat_mean, data.stat_std_dev,
                data.stat_min, data.stat_max, self.ru_maxrss, children.ru_maxrss,
                prompts.conversion_seconds(), imported);
    return 0;
}
