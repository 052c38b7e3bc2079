#pragma once

#include "grid_variables.h"

#include <cstdint>
#include <string>
#include <vector>

// The stages of an import, in order. The text is written out while it converts; `writing` is
// the end of that, when the file is finished and put in place.
enum class ImportStage { converting, writing, reading_back, loading };

// What the grid import needs from a person: the dialog answers with message boxes and file
// dialogs, the batch tool with standard error, the tests with a script.
class ImportPrompts {
public:
    // A message box with an OK button.
    virtual void show_message(const std::string& text) = 0;
    // A save-file dialog starting at `initial`; false when the person cancels.
    virtual bool ask_save_path(const std::string& initial, std::string& chosen) = 0;
    // Progress of a long import: `done` of `total` units of the stage (while converting, bytes
    // of grid text, total 0 when the size is unknown, as for a pipe, or bytes of the NetCDF
    // variables' stored values; bytes of the intermediate file while writing and reading back;
    // rows summed plus rows copied while loading, the mirroring and the statistics together).
    // Called often enough in every stage for a progress window to appear in time and to answer
    // Cancel; false asks to stop.
    virtual bool progress(ImportStage stage, std::int64_t done, std::int64_t total) { return true; }
    // A NetCDF file `file` holds several variables that could be the grid and the import was
    // not told which: the person picks one or more variables of the same shape, or one variable
    // and the dimension whose indices become the components (needed for a variable of four
    // dimensions). False refuses the import with a message that lists the candidates, which is
    // what a batch run, with nobody to ask, does.
    virtual bool choose_variables(const std::string& file,
                                  const std::vector<VariableCandidate>& candidates,
                                  VariableChoice& choice) {
        return false;
    }

protected:
    ~ImportPrompts() = default;
};
