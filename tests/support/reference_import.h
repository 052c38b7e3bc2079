#pragma once

#include <string>

// The straightforward conversion of a grid text file into the intermediate file: fgets line by
// line, sscanf("%f") per field in the C locale, and every sample byte written with its own
// fprintf("%c"). Tests and benchmarks hold the fast import against it. Returns false when the
// files cannot be opened, the header is not four positive ints, or the text ends early.
bool reference_convert(const std::string& grid_path, const std::string& out_path);
