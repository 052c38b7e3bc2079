#pragma once

#include <string>

// A file name as the one-line messages show it: every control character (codes 0 to 31 and
// 127, the C1 controls U+0080 to U+009F, and the line and paragraph separators U+2028 and
// U+2029) is written as an escape (\n, \r, \t, \xHH or \uHHHH), so that a name holding a line
// break cannot split a message or make it look like two. Everything else, invalid UTF-8
// included, is kept as it is.
std::string shown_path(const std::string& path);
