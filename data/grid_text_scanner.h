#pragma once

#include <cstddef>
#include <cstdint>

// Scanning of grid text lines. A data line holds three ignored numbers and then one number per
// component, separated by space characters (code 32 only: a tab does not separate). Each number
// reads as "%f" would in the C locale: leading white space skipped, the longest prefix that
// forms a float taken, and a field that does not scan repeats the last value read on the line
// (1.0 before any).

// Converts one line into ncomp floats. [begin, end) is the line; a '\n' at its end may be
// included. Text after a NUL byte is ignored, as a C string would end there.
void scan_data_line(const char* begin, const char* end, int ncomp, float* out);

// Reads one number at `p` as sscanf("%f") does in the C locale; `end` bounds the text (the
// number stops at white space, NUL or `end`). Returns false when nothing scans.
bool scan_float(const char* p, const char* end, float& value);

// Reads the header "%d %d %d %d" (nz, ny, nx, ncomp). Returns false unless all four scan and
// are positive ints.
bool scan_header(const char* begin, const char* end, int& nz, int& ny, int& nx, int& ncomp);
