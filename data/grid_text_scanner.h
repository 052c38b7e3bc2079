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

// The same for the common line: its '\n' within its first 64 bytes (a '\r' may come before it),
// no other byte below 32 or above 127 before it, and each component a short plain decimal (an
// optional '-' and at most seven digits with at most one '.'). Returns the start of the next
// line, or null for any other line, which scan_data_line() then reads (and writes all of `out`
// again). Reads up to plain_line_lookahead bytes from `begin`, which must all lie before `stop`.
const char* scan_plain_data_line(const char* begin, const char* stop, int ncomp, float* out);
constexpr std::ptrdiff_t plain_line_lookahead = 80;

// Reads the plain lines from `begin` on, as scan_plain_data_line() does, while they start before
// `to`, at most max_lines of them, each no longer than `window` bytes with its '\n'. Sets
// `lines` to how many it read (their samples one after the other in `out`) and returns the
// start of the first line it did not take.
const char* scan_plain_data_lines(const char* begin, const char* to, const char* stop, int ncomp,
                                  std::size_t window, std::int64_t max_lines, float* out,
                                  std::int64_t& lines);

// Reads one number at `p` as sscanf("%f") does in the C locale; `end` bounds the text (the
// number stops at white space, NUL or `end`). Returns false when nothing scans.
bool scan_float(const char* p, const char* end, float& value);

// Reads the header "%d %d %d %d" (nz, ny, nx, ncomp). Returns false unless all four scan and
// are positive ints.
bool scan_header(const char* begin, const char* end, int& nz, int& ny, int& nx, int& ncomp);

// How much of the start of a line decides it, for lines too long to hold whole. [begin, end) is
// the text of the line read so far, without its '\n'. Each returns the offset of the byte that
// ends the deciding part (white space or a NUL), or -1 when the text does not reach it yet.
// Cutting the line there, with a '\n' in place of that byte, changes none of its values.

// A data line is decided by its first 3 + ncomp fields, each through the end of the number
// that "%f" reads for it (which, for a field of tabs, is the next number on the line).
std::int64_t data_line_needed(const char* begin, const char* end, int ncomp);

// The header is decided by its four numbers, or by the character that fails their scan.
std::int64_t header_needed(const char* begin, const char* end);
