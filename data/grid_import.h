#pragma once

#include "grid_description.h"
#include "import_prompts.h"

#include <cstdint>
#include <string>
#include <vector>

class Volume;

struct ImportOptions {
    // Replaces the default intermediate path (the grid path followed by ".dat") when not empty.
    std::string intermediate_path;
    // Files besides the grid that the intermediate file must never replace (the curves file
    // in use): a path naming one of them is refused as one that cannot be written.
    std::vector<std::string> keep_paths;
    // Worker threads for the text conversion and the load; 0 picks one per hardware thread. The
    // result is the same for any count.
    int threads = 0;
    // Map a regular grid file and the intermediate file rather than read them through a buffer.
    // The result is the same either way; false is for tests and benchmarks of the plain path.
    bool map_files = true;
    // Bytes of grid text read at a time; 0 takes the default of 8 MiB. Lines longer than this
    // are held only up to the fields they need. Small values are for tests.
    std::int64_t text_block_bytes = 0;

    // NetCDF only (see netcdf_import.h). The variables whose values become the components, one
    // each (--var SST,AIRT), or one variable whose dimension `components_dimension` gives the
    // components (--var SST --components TIME). Empty: chosen from the file.
    std::vector<std::string> variables;
    std::string components_dimension;
    // NetCDF only: the memory the import may use, in bytes; a grid whose samples, held twice,
    // and 64 MiB do not fit is refused before anything is read. 0: the machine's physical
    // memory.
    std::int64_t memory_limit_bytes = 0;
    // NetCDF only: the file is read in a reader process of its own, which is stopped, and the
    // import refused, when it has given no sign of life for this long. 0: 60 seconds.
    int reader_timeout_ms = 0;
};

struct ImportResult {
    bool ok = false;
    bool cancelled = false;
    // The failure in words; set for every failure, also those that show no message box.
    std::string error;
    // The intermediate file that was written (empty when none was).
    std::string intermediate_path;
    // What was opened: for a NetCDF file its variables, dimensions and coordinates.
    GridDescription description;
};

// The "Open File" import: converts the grid text file, or the NetCDF file (recognised by its
// extension .nc, .nc4 or .cdf or by its first bytes), into the intermediate file of float32
// samples, reads it back, loads it into `data` mirrored along x with its statistics and gives
// `colour` the same grid with four components, all samples zero. On any failure or cancel both
// volumes are left exactly as they were, and so is an existing intermediate file.
ImportResult import_grid(const std::string& grid_path, Volume& data, Volume& colour,
                         ImportPrompts& prompts, const ImportOptions& options = {});
