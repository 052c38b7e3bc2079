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

// The end of an import whose intermediate file `intermediate` is complete and in place: the
// progress of writing it, the read-back, the load of `new_data` (allocated for the grid, its
// statistics then replaced) with the mirroring and statistics, and the commit of `new_data`
// and `new_colour` into `data` and `colour`. A failure or Cancel leaves `data` and `colour` as
// they were (and the new intermediate file in place).
// `written` is the descriptor the file was written through (OutputFile::written_descriptor),
// so that the read-back reads this import's file even when another has taken its name since;
// -1 reads it by name.
ImportResult finish_import(const std::string& intermediate, int written, int nx, int ny, int nz,
                           int ncomp, Volume& new_data, Volume& new_colour, Volume& data,
                           Volume& colour, ImportPrompts& prompts, const ImportOptions& options);
