#pragma once

#include "grid_import.h"

#include <cstdint>
#include <string>

class OutputFile;

// The steps that every kind of grid import shares: how it fails, where the intermediate file
// goes, and the end from the finished intermediate file to the loaded volumes.

// A failed import with `message` as its error, shown as a message box when `show` is true.
ImportResult import_failure(ImportPrompts& prompts, const std::string& message, bool show = true);

// A cancelled import.
ImportResult import_cancelled();

// "ERROR: not enough memory for a NX x NY x NZ grid with NC components", shown.
ImportResult import_no_memory(ImportPrompts& prompts, std::int64_t nx, std::int64_t ny,
                              std::int64_t nz, std::int64_t ncomp);

// Opens the intermediate file for `grid_path` (options.intermediate_path, or the grid path
// followed by ".dat") in `out`. When it cannot be written the person is asked for another
// name, and the reason goes on a line of its own after "Select of intermediate file failed".
// Neither the grid nor any of options.keep_paths is ever written over. On success
// `intermediate` holds the path being written and the result is ok; otherwise
// the result is the failure, already shown.
ImportResult open_intermediate(const std::string& grid_path, const ImportOptions& options,
                               ImportPrompts& prompts, OutputFile& out, std::string& intermediate);

// "Error: "PATH" could not be written completely", with a word when the file that was there
// could not be kept; shown.
ImportResult import_write_failure(ImportPrompts& prompts, const std::string& intermediate,
                                  const OutputFile& out);

// The end of an import whose intermediate file `intermediate` has been written whole through
// `out`: its commit, which puts it in place, and meanwhile the progress of writing it, the
// read-back, the load of `new_data` (allocated for the grid, its statistics then replaced)
// with the mirroring and statistics; then the commit of `new_data` and `new_colour` into `data`
// and `colour`. A failure or Cancel leaves `data` and `colour` as they were; once the file has
// been put in place, it stays. The read-back reads this import's own file even when another
// has taken its name since.
ImportResult finish_import(OutputFile& out, const std::string& intermediate, int nx, int ny, int nz,
                           int ncomp, Volume& new_data, Volume& new_colour, Volume& data,
                           Volume& colour, ImportPrompts& prompts, const ImportOptions& options);
