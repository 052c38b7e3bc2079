#pragma once

#include <string>

// The application object: starts Qt, runs the main dialog modally and ends the program when
// the dialog closes.
class CVolumeApp {
public:
    // Runs the whole program; returns the exit status (2 for bad usage).
    int InitInstance(int argc, char** argv);
};

// The command line: halvorn [--curves CURVES.json] [GRID.txt].
struct AppArgs {
    std::string curves_path;
    std::string grid_path;
    bool help = false;
    bool version = false;
    std::string error; // set when the words do not parse
};

AppArgs parse_app_args(int argc, char** argv);

extern const char* const app_usage;

class CVolumeDialog;

// Queues what the command line asks for, to run once the dialog is shown (after the start-up
// statistics): the curves file first, then the import of the grid, as "Load Curves..." and
// "Open File" would.
void queue_start_commands(CVolumeDialog& dialog, const AppArgs& args);
