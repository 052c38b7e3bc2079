#include "batch_commands.h"
#include "driver_memory.h"

#include <cstdio>
#include <cstring>

const char* const batch_usage =
    "usage:\n"
    "  halvorn-batch info GRID.txt [--intermediate PATH]\n"
    "      convert, read back and load the grid; print its extents and statistics\n"
    "  halvorn-batch classify GRID.txt --curves CURVES.json [--low L] [--range R]\n"
    "                [--missing grey|faint|hidden] [--intermediate PATH] --output RGBA.raw\n"
    "      write the colour volume: NX*NY*NZ*4 little-endian float32\n"
    "  halvorn-batch render GRID.txt --curves CURVES.json [--low L] [--range R]\n"
    "                [--missing grey|faint|hidden] [--intermediate PATH] --output IMAGE.png\n"
    "                [--size 612x375] [--distance 750] [--tilt RAD] [--turn RAD]\n"
    "                [--axis-scale 1,1,1] [--mode 1] [--step 1]\n"
    "                [--draw immediate|arrays|shaders]\n"
    "      draw one frame headlessly and write it as a PNG\n"
    "  halvorn-batch --help\n"
    "\n"
    "The intermediate file defaults to GRID.txt.dat. --low and --range override the curves\n"
    "file, which overrides the defaults 0 and 100. --missing: missing grid points grey (the\n"
    "default), faint (a tenth of the grey's opacity) or hidden. --axis-scale stretches the\n"
    "grid along x, y and z by these positive factors. --draw: how splats reach GL (immediate\n"
    "mode, the reference; vertex arrays, the default, the same pixels; shaders, faster, a few\n"
    "pixels apart). Errors go to standard error, exit status 1; bad usage exits with status 2.\n";

int main(int argc, char** argv) {
    keep_freed_memory_for_reuse();
    if (argc < 2) {
        std::fputs(batch_usage, stderr);
        return 2;
    }
    const char* command = argv[1];
    if (!std::strcmp(command, "--help") || !std::strcmp(command, "-h") ||
        !std::strcmp(command, "help")) {
        std::fputs(batch_usage, stdout);
        return 0;
    }
    if (!std::strcmp(command, "info"))
        return run_info(argc - 2, argv + 2);
    if (!std::strcmp(command, "classify"))
        return run_classify(argc - 2, argv + 2);
    if (!std::strcmp(command, "render"))
        return run_render(argc - 2, argv + 2);
    std::fprintf(stderr, "halvorn-batch: unknown command '%s'\n%s", command, batch_usage);
    return 2;
}
