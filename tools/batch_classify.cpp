#include "batch_commands.h"
#include "batch_scene.h"
#include "output_file.h"
#include "scene.h"
#include "shown_path.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Writes the colour volume as little-endian float32, in its own layout, whole or not at all
// (never over the grid it came from, nor over the curves file).
bool write_rgba(const std::string& path, const std::vector<std::string>& keep,
                const Volume& colour) {
    OutputFile file;
    bool ok = file.open(path, keep);
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
        std::fprintf(stderr, "ERROR: cannot write '%s'\n", shown_path(path).c_str());
    return ok;
}

} // namespace

int run_classify(int argc, char** argv) {
    ProgramWords words;
    SceneOptions options;
    if (const int status = batch_words(argc, argv, {"--output"}, {}, words, options))
        return status;
    if (words.help) {
        std::fputs(batch_usage, stdout);
        return 0;
    }
    const auto output = words.options.find("--output");
    if (output == words.options.end())
        return batch_usage_error("classify needs --output");

    Scene scene;
    if (const int status = batch_classify_scene(words, options, scene))
        return status;
    return write_rgba(output->second, scene.protected_paths(), scene.colour_volume) ? 0 : 1;
}
