#pragma once

#include "scene_options.h"

#include <string>
#include <vector>

// A command line split into options and positional words.
struct ProgramWords {
    std::vector<std::string> positional;
    OptionWords options; // "--low" -> "30"; a flag maps to ""
    bool help = false;   // -h or --help
    std::string error;   // set when the words do not parse
};

// Parses `words` (the program's name first) with QCommandLineParser, the convention both
// programs share: `valued` options take a value ("--low 3" or "--low=3", also a negative
// number), `flags` take none, -h and --help ask for the usage text, and "--" ends the options.
// An unknown option, a missing value or an empty one is an error, worded as the other usage
// errors: "unknown option --bogus", "missing value after '--low'".
ProgramWords parse_program_words(const std::vector<std::string>& words,
                                 const std::vector<std::string>& valued,
                                 const std::vector<std::string>& flags);

// The scene's valued options followed by `more`.
std::vector<std::string> with_scene_options(std::vector<std::string> more);
