#pragma once

#include <clocale>
#include <locale.h>
#include <string>

// Qt calls setlocale(LC_ALL, "") at start-up, after which "%f" would read "1.5" as 1 under a
// comma-decimal locale. Everything that parses or prints numbers for files, edit fields and
// the command line does so through the C locale, selected per thread with uselocale().

// The process-wide "C" locale object.
locale_t c_locale();

// Makes the C locale current on this thread for the scope's lifetime.
class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

// printf-style formatting in the C locale.
std::string format_c(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A whole word read as a number in the C locale, as the command lines take them: "1.5",
// "-3e2", "inf". False for an empty word, white space anywhere, or trailing characters.
bool parse_c_double(const std::string& word, double& value);

// A whole word read as a decimal int; false when it is not one or does not fit.
bool parse_c_int(const std::string& word, int& value);

// "SX,SY,SZ": three finite numbers other than 0, as the axis scale is given (a negative one
// flips that axis). `x`, `y` and `z` are
// left alone unless all three are good.
bool parse_c_axis_scale(const std::string& word, double& x, double& y, double& z);
