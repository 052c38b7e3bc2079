#pragma once

#include <map>
#include <string>
#include <vector>

// The arguments of one sub-command: positional words and --name value options.
struct BatchArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // "--low" -> "30"
    bool help = false;
    std::string error; // set when the words do not parse
};

// Parses the words after the command with QCommandLineParser, the convention both programs
// share: `valued` options take a value ("--low 3" or "--low=3", also a negative number),
// `flags` take none, -h and --help ask for the usage text, and "--" ends the options. An
// unknown option, a missing value or an empty one is an error.
BatchArgs parse_batch_args(int argc, char** argv, const std::vector<std::string>& valued,
                           const std::vector<std::string>& flags);

// Prints `message` (when not empty) and the usage text to standard error; returns 2.
int batch_usage_error(const std::string& message);
