#include "batch_classify.h"

#include "batch_commands.h"
#include "batch_import.h"
#include "c_locale.h"
#include "classify.h"
#include "curves_file.h"
#include "output_file.h"
#include "transfer_function.h"
#include "volume.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Reads --name as a number into `value` when given; false (after the usage text) when the
// word is not a number.
bool option_number(const BatchArgs& args, const char* name, double& value, int& status) {
    const auto it = args.options.find(name);
    if (it == args.options.end())
        return true;
    if (!parse_c_double(it->second, value)) {
        status = batch_usage_error(std::string(name) + " needs a number, not '" + it->second + "'");
        return false;
    }
    return true;
}

// Writes the colour volume as little-endian float32, in its own layout, whole or not at all
// (never over the grid it came from).
bool write_rgba(const std::string& path, const std::string& grid, const Volume& colour) {
    OutputFile file;
    bool ok = file.open(path, grid);
    const std::int64_t total = colour.sample_count();
    constexpr std::int64_t block = 1 << 16;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(block) * 4);
    for (std::int64_t i = 0; ok && i < total; i += block) {
        const std::int64_t n = std::min(block, total - i);
        for (std::int64_t k = 0; k < n; ++k) {
            std::uint32_t bits;
            std::memcpy(&bits, colour.samples + i + k, 4);
            for (int b = 0; b < 4; ++b)
                bytes[static_cast<std::size_t>(k * 4 + b)] =
                    static_cast<unsigned char>(bits >> (8 * b));
        }
        ok = std::fwrite(bytes.data(), 4, static_cast<std::size_t>(n), file.stream()) ==
             static_cast<std::size_t>(n);
    }
    ok = ok && file.commit();
    if (!ok)
        std::fprintf(stderr, "ERROR: cannot write '%s'\n", path.c_str());
    return ok;
}

} // namespace

int batch_load_and_classify(const BatchArgs& args, Volume& data, Volume& colour,
                            TransferFunction (&curves)[4]) {
    const auto curves_path = args.options.find("--curves");
    if (args.positional.size() != 1 || curves_path == args.options.end())
        return batch_usage_error("a grid file and --curves are needed");

    double low = 0.0;
    double range = 100.0;
    CurvesFile file;
    std::string error;
    if (!read_curves_file(curves_path->second, file, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (file.has_low)
        low = file.low;
    if (file.has_range)
        range = file.range;
    int status = 0;
    if (!option_number(args, "--low", low, status) ||
        !option_number(args, "--range", range, status))
        return status;
    if (!std::isfinite(range) || range == 0.0) {
        std::fputs("ERROR: the temperature range must be a non-zero finite number\n", stderr);
        return 1;
    }
    if (!std::isfinite(low)) {
        std::fputs("ERROR: the low end of the temperature range must be a finite number\n", stderr);
        return 1;
    }

    MissingData missing = MissingData::grey;
    if (const auto it = args.options.find("--missing"); it != args.options.end()) {
        if (it->second == "faint")
            missing = MissingData::faint;
        else if (it->second == "hidden")
            missing = MissingData::hidden;
        else if (it->second != "grey")
            return batch_usage_error("--missing needs grey, faint or hidden, not '" + it->second +
                                     "'");
    }

    const auto intermediate = args.options.find("--intermediate");
    if (!batch_import(args.positional[0],
                      intermediate == args.options.end() ? "" : intermediate->second, data, colour))
        return 1;

    for (int c = 0; c < 4; ++c) {
        set_curve_points(curves[c], file.curves[c]);
        curves[c].update_segments();
    }
    const TransferFunction* const pointers[4] = {&curves[0], &curves[1], &curves[2], &curves[3]};
    if (!classify(colour, data, pointers, {low, range, missing})) {
        std::fputs("ERROR: the grid could not be classified (out of memory)\n", stderr);
        return 1;
    }
    return 0;
}

int run_classify(int argc, char** argv) {
    const BatchArgs args = parse_batch_args(
        argc, argv, {"--curves", "--low", "--range", "--missing", "--intermediate", "--output"},
        {});
    if (args.help) {
        std::fputs(batch_usage, stdout);
        return 0;
    }
    if (!args.error.empty())
        return batch_usage_error(args.error);
    const auto output = args.options.find("--output");
    if (output == args.options.end())
        return batch_usage_error("classify needs --output");

    Volume data;
    Volume colour;
    TransferFunction curves[4];
    if (const int status = batch_load_and_classify(args, data, colour, curves))
        return status;
    return write_rgba(output->second, args.positional[0], colour) ? 0 : 1;
}
