#pragma once

#include <string>

// How the edit handlers read a number: the text cut to 1023 characters, scanned with "%lf"
// in the C locale (so "1.5" is 1.5 under a comma-decimal locale too). Returns what sscanf
// returns: 1 when a number was read into `value`, 0 when the text does not begin with one,
// EOF (-1) for a text of only white space; `value` is left alone unless a number was read.
int scan_edit_double(const std::string& text, double& value);

// Truncates toward zero, saturating at the int range, so that "1e300" or "inf" in an edit
// give a slider position without undefined behaviour. NaN gives 0.
int saturating_trunc(double value);

// "%lf" in the C locale: six decimals, a point whatever the locale.
std::string format_edit_double(double value);

// The shortest text that reads back as the same double, with a point in any locale.
std::string format_shortest_double(double value);

// The shortest text that reads back as the same float: how a float32 sample is shown.
std::string format_shortest_float(float value);
