#pragma once

#include "scene_options.h"

#include <optional>
#include <string>

// The application object: starts Qt, runs the main dialog modally and ends the program when
// the dialog closes.
class CVolumeApp {
public:
    // Runs the whole program; returns the exit status (2 for bad usage).
    int InitInstance(int argc, char** argv);
};

// The command line: halvorn [--curves CURVES.json] [--low L] [--range R] [--distance D]
// [--tilt A] [--turn B] [--axis-scale SX,SY,SZ] [--apply] [GRID.txt].
struct AppArgs {
    SceneOptions scene; // the options both programs take
    std::string grid_path;
    bool apply = false;
    bool no_confirm = false; // --no-confirm: ending never asks to save the curves
    bool help = false;
    bool version = false;
    std::string error; // set when the words do not parse
};

// Reads the words with QCommandLineParser, as halvorn-batch does; Qt's own options
// (-platform xcb, -display :1, ...) are left to QApplication. Needs no QApplication.
AppArgs parse_app_args(int argc, char** argv);

extern const char* const app_usage;

// Before QApplication starts: every view draws immediate-mode GL (a compatibility profile)
// with a depth buffer.
void set_view_gl_format();

class CVolumeDialog;

// Queues what the command line asks for, to run once the dialog is shown (after the start-up
// statistics), one command after another: the curves file, the two edit values, the axis
// scale, the camera,
// the import of the grid and "Set Transfer Func", as the dialog's own commands would.
void queue_start_commands(CVolumeDialog& dialog, const AppArgs& args);
