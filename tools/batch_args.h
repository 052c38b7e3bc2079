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

// Splits argv; `flags` are options that take no value (such as "--immediate"). Every other
// option must be one of `valued` and takes the next word as its value.
BatchArgs parse_batch_args(int argc, char** argv, const std::vector<std::string>& valued,
                           const std::vector<std::string>& flags);

// Prints `message` (when not empty) and the usage text to standard error; returns 2.
int batch_usage_error(const std::string& message);

// Parses a whole word as a finite or non-finite double in the C locale; false when the word
// is not a number.
bool parse_batch_double(const std::string& word, double& value);

// Parses a whole word as an int; false when it is not one.
bool parse_batch_int(const std::string& word, int& value);
