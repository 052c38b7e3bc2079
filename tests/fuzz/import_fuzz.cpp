// Feeds arbitrary bytes to the grid import as a grid text file. The import must never crash,
// read or write out of bounds, or leave the volumes half-changed: after a failure the loaded
// volumes are exactly as before. A second import reading the text in tiny blocks must write
// the same samples.
#include "grid_import.h"
#include "grid_size.h"
#include "grid_text_scanner.h"
#include "volume.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

class Prompts final : public ImportPrompts {
public:
    void show_message(const std::string&) override {}
    bool ask_save_path(const std::string&, std::string&) override { return false; }
};

std::string scratch(const char* suffix) {
    return "/tmp/halvorn-fuzz-" + std::to_string(getpid()) + suffix;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 16)
        return 0;
    // Grids whose samples would take more than a few MiB only make the run slow.
    const char* text = reinterpret_cast<const char*>(data);
    const char* nl = static_cast<const char*>(std::memchr(text, '\n', size));
    int nz, ny, nx, ncomp;
    if (scan_header(text, nl ? nl : text + size, nz, ny, nx, ncomp) &&
        grid_sample_count(nx, ny, nz, ncomp) > (1 << 20))
        return 0;

    const std::string grid = scratch(".txt");
    std::FILE* f = std::fopen(grid.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    Volume volume;
    Volume colour;
    // A small grid loaded first, to check that a failed import leaves it alone.
    volume.allocate(2, 1, 1, 1);
    volume.samples[0] = 1.0f;
    volume.samples[1] = 2.0f;
    colour.allocate(2, 1, 1, 4);
    Prompts prompts;
    ImportOptions options;
    options.intermediate_path = scratch(".dat");
    options.threads = 1 + static_cast<int>(size % 3);
    const ImportResult r = import_grid(grid, volume, colour, prompts, options);
    if (r.ok) {
        if (volume.sample_count() != grid_sample_count(nx, ny, nz, ncomp) ||
            colour.sample_count() != grid_sample_count(nx, ny, nz, 4))
            std::abort();
    } else if (volume.nx != 2 || volume.samples[1] != 2.0f || colour.ncomp != 4 || colour.nx != 2) {
        std::abort();
    }

    // Reading the text in small blocks cuts long lines; it must not change a single sample.
    // Only a line whose needed fields pass the smaller bound may be refused.
    Volume cut_volume, cut_colour;
    ImportOptions cut_options;
    cut_options.intermediate_path = scratch("-cut.dat");
    cut_options.text_block_bytes = 1 + static_cast<std::int64_t>(size % 61);
    const ImportResult cut = import_grid(grid, cut_volume, cut_colour, prompts, cut_options);
    if (r.ok && !cut.ok && cut.error.find("is too long") == std::string::npos)
        std::abort();
    if (r.ok && cut.ok && slurp(options.intermediate_path) != slurp(cut_options.intermediate_path))
        std::abort();

    std::remove(grid.c_str());
    std::remove(options.intermediate_path.c_str());
    std::remove(cut_options.intermediate_path.c_str());
    return 0;
}
