// Feeds arbitrary bytes to the grid import as a grid text file. The import must never crash,
// read or write out of bounds, or leave the volumes half-changed: after a failure the loaded
// volumes are exactly as before. A second import reading the text in tiny blocks must write
// the same samples.
//
// Each input is kept cheap: the text and both intermediate files are files in memory, made
// once and refilled for every input (named through /proc/self/fd, so no folder is touched and
// nothing is flushed to a disk), the text is read in blocks no larger than an input, and grids
// are kept small.
#include "grid_import.h"
#include "grid_size.h"
#include "grid_text_scanner.h"
#include "volume.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t max_input = std::size_t{1} << 16;

class Prompts final : public ImportPrompts {
public:
    void show_message(const std::string&) override {}
    bool ask_save_path(const std::string&, std::string&) override { return false; }
};

// A file in memory for the life of the process, and the name that opens it.
struct MemoryFile {
    int fd = memfd_create("halvorn-fuzz", MFD_CLOEXEC);
    std::string path = "/proc/self/fd/" + std::to_string(fd);

    void fill(const std::uint8_t* data, std::size_t size) const {
        if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
            std::abort();
    }
    std::string contents() const {
        struct stat st {};
        if (fstat(fd, &st) != 0)
            std::abort();
        std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
        if (pread(fd, bytes.data(), bytes.size(), 0) != st.st_size)
            std::abort();
        return bytes;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const MemoryFile grid, samples, cut_samples;
    if (size > max_input || grid.fd < 0 || samples.fd < 0 || cut_samples.fd < 0)
        return 0;
    // Grids of more than a few hundred KiB of samples only make the run slow.
    const char* text = reinterpret_cast<const char*>(data);
    const char* nl = static_cast<const char*>(std::memchr(text, '\n', size));
    int nz, ny, nx, ncomp;
    if (scan_header(text, nl ? nl : text + size, nz, ny, nx, ncomp) &&
        grid_sample_count(nx, ny, nz, ncomp) > (1 << 16))
        return 0;
    grid.fill(data, size);

    Volume volume;
    Volume colour;
    // A small grid loaded first, to check that a failed import leaves it alone.
    volume.allocate(2, 1, 1, 1);
    volume.samples[0] = 1.0f;
    volume.samples[1] = 2.0f;
    colour.allocate(2, 1, 1, 4);
    Prompts prompts;
    ImportOptions options;
    options.intermediate_path = samples.path;
    options.threads = 1 + static_cast<int>(size % 3);
    // A block that holds any input whole reads it as the default 8 MiB block would.
    options.text_block_bytes = static_cast<std::int64_t>(max_input);
    const ImportResult r = import_grid(grid.path, volume, colour, prompts, options);
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
    cut_options.intermediate_path = cut_samples.path;
    cut_options.threads = 1;
    cut_options.text_block_bytes = 1 + static_cast<std::int64_t>(size % 61);
    const ImportResult cut = import_grid(grid.path, cut_volume, cut_colour, prompts, cut_options);
    if (r.ok && !cut.ok && cut.error.find("is too long") == std::string::npos)
        std::abort();
    if (r.ok && cut.ok && samples.contents() != cut_samples.contents())
        std::abort();
    return 0;
}
