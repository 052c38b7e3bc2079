#pragma once

#include "import_prompts.h"
#include "netcdf_catalog.h"

#include <string>
#include <vector>

// The variables that could be the grid without being named: numeric, of three or more
// dimensions, in the file's order.
std::vector<VariableCandidate> grid_candidates(const NetcdfCatalog& catalog);

// Decides which data of `catalog` becomes the grid. `requested` holds what the import was told
// (--var, --components); when it names no variable, the only candidate is taken, or the person
// is asked through `prompts` when there are several. Returns an empty string and fills `plan`,
// or the message that refuses the import, naming the file `file` and saying what to change.
std::string plan_grid(const std::string& file, const NetcdfCatalog& catalog,
                      const VariableChoice& requested, ImportPrompts& prompts, GridPlan& plan);
