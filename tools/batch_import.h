#pragma once

#include <string>

class Volume;

// Runs the grid import as the dialog's "Open File" does, answering its questions as a batch
// program must: messages go to standard error and a save-path question is answered "no".
// Returns true when the grid is loaded; otherwise the reason has been printed.
bool batch_import(const std::string& grid_path, const std::string& intermediate_path, Volume& data,
                  Volume& colour);
