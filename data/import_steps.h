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
// name. On success `intermediate` holds the path being written and the result is ok; otherwise
// the result is the failure, already shown.
ImportResult open_intermediate(const std::string& grid_path, const ImportOptions& options,
                               ImportPrompts& prompts, OutputFile& out, std::string& intermediate);

// The end of an import whose intermediate file `intermediate` is complete and in place: the
// progress of writing it, the read-back, the load of `new_data` (allocated for the grid, its
// statistics then replaced) with the mirroring and statistics, and the commit of `new_data`
// and `new_colour` into `data` and `colour`. A failure or Cancel leaves `data` and `colour` as
// they were (and the new intermediate file in place).
ImportResult finish_import(const std::string& intermediate, int nx, int ny, int nz, int ncomp,
                           Volume& new_data, Volume& new_colour, Volume& data, Volume& colour,
                           ImportPrompts& prompts, const ImportOptions& options);
