#pragma once

#include "program_words.h"
#include "scene_options.h"

#include <string>

class Scene;

// What the sub-commands share. Each returns the exit status: 0 success, 1 a failure reported on
// standard error (one line, the message the dialog would show), 2 bad usage (after the usage
// text).

// Parses the words after the sub-command: the scene's options, then `valued` and `flags` of its
// own. Returns 0, or the usage status after printing the reason; `help` asks for the usage text.
int batch_words(int argc, char** argv, const std::vector<std::string>& valued,
                const std::vector<std::string>& flags, ProgramWords& words, SceneOptions& options);

// Imports the grid (the one positional word) as "Open File" does: messages go to standard error
// and the question for another intermediate path is answered "no".
int batch_import(const ProgramWords& words, const SceneOptions& options, Scene& scene);

// The part of `classify` and `render` that loads and classifies as the dialog does: the curves
// file of --curves, then the presets of --preset, the low end and range from --low/--range,
// else the file, else 0 and 100, the colour of missing grid points from --missing, the
// import, the window of --window, then the classification (left out when `classify` is
// false).
int batch_classify_scene(const ProgramWords& words, const SceneOptions& options, Scene& scene,
                         bool classify = true);

// Prints `message` (when not empty) and the usage text to standard error; returns 2.
int batch_usage_error(const std::string& message);
