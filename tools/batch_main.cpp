#include "batch_commands.h"
#include "driver_memory.h"
#include "temporary_files.h"

#include <cstdio>
#include <cstring>

const char* const batch_usage =
    "usage:\n"
    "  halvorn-batch info GRID [--var V[,V...]] [--components DIM] [--intermediate PATH]\n"
    "      convert, read back and load the grid; print its extents and statistics\n"
    "  halvorn-batch classify GRID [--curves CURVES.json] [--preset NAME[,NAME]] [--low L]\n"
    "                [--range R] [--missing grey|faint|hidden] [--integration exact|forward]\n"
    "                [--window FIRST:LAST] [--var V[,V...]] [--components DIM]\n"
    "                [--intermediate PATH] --output RGBA.raw\n"
    "      write the colour volume: NX*NY*NZ*4 little-endian float32\n"
    "  halvorn-batch render GRID [--curves CURVES.json] [--preset NAME[,NAME]]\n"
    "                [classify's options] --output IMAGE.png\n"
    "                [--size 612x375] [--distance 750] [--tilt RAD] [--turn RAD] [--spin RAD]\n"
    "                [--axis-scale 1,1,1] [--mode 0|1] [--step 1]\n"
    "                [--draw immediate|arrays|shaders] [--legend] [--axes]\n"
    "                [--frames | --turntable N]\n"
    "      draw one frame headlessly and write it as a PNG; --frames and --turntable write\n"
    "      IMAGE-000.png, IMAGE-001.png, ... instead\n"
    "  halvorn-batch --help\n"
    "\n"
    "GRID is a grid text file or a NetCDF file (.nc, .nc4, .cdf). --var names the NetCDF\n"
    "variables whose values become the components, or one variable whose dimension\n"
    "--components names; without them the file's only variable of three or more dimensions.\n"
    "The intermediate file defaults to GRID.dat beside the grid. CURVES.json is a curves file\n"
    "or a ParaView colour-map preset (JSON; \"RGBPoints\", and \"Points\" for opacity, fitted\n"
    "into the curves over the map's own span; without \"Points\" the opacity curve stays 0).\n"
    "--preset sets curves after the file: a colour preset (viridis, cool-warm, temperature,\n"
    "grey) the red, green and blue curves, an opacity preset (ramp, tent, step) the opacity\n"
    "curve, or one of each as --preset viridis,ramp; a colour preset alone without --curves\n"
    "comes with the ramp. Either --curves or --preset is needed. --low and --range override\n"
    "the curves file, which overrides the defaults 0 and 100. --missing: missing grid points\n"
    "grey (the default), faint (a tenth of the grey's opacity) or hidden. --integration:\n"
    "each curve averaged exactly along each grid point's values, whichever way they run (the\n"
    "default), or with the older walk that only moves forward through the curve. --window\n"
    "FIRST:LAST classifies only those components of each grid point (counted from 1; a\n"
    "single K is K:K, the colour a grid point holding that value twice gets). --frames slides\n"
    "a window of --window's width (all components without it) from the first component to\n"
    "the last, one picture per position; --turntable N turns the camera once about the\n"
    "grid's up axis in N pictures. --axis-scale stretches the grid along x, y and z by these\n"
    "factors (a negative one flips that axis; a NetCDF depth whose indices run downwards is\n"
    "flipped unless --axis-scale is given). --tilt and --turn move the camera as a left drag\n"
    "in the dialog would, --spin then turns it about the grid's up axis as a turntable drag\n"
    "would; the dialog's text area shows these words for its view. --mode 0 draws quads, 1 fans. "
    "--draw: how splats reach GL (immediate mode, the\n"
    "reference; vertex arrays, the default, the same pixels; shaders, faster, a few pixels\n"
    "apart). --legend draws the colour legend at the upper right, --axes the orientation axes\n"
    "at the lower left. Errors go to standard error, exit status 1; bad usage exits with\n"
    "status 2. No output or intermediate file is written over the grid or the curves file.\n";

int main(int argc, char** argv) {
    keep_freed_memory_for_reuse();
    remove_temporary_files_on_exit(); // a signal mid-write leaves no temporary file behind
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
