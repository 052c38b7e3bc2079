#include "edit_number.h"

#include "c_locale.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

int scan_edit_double(const std::string& text, double& value) {
    // The edit's text is read into a 1024-character buffer.
    const std::string cut = text.substr(0, 1023);
    CLocaleScope c;
    return std::sscanf(cut.c_str(), "%lf", &value);
}

int saturating_trunc(double value) {
    if (std::isnan(value))
        return 0;
    // INT_MAX + 1 and INT_MIN are exact doubles; every double strictly between them
    // truncates to a valid int.
    if (value >= 2147483648.0)
        return INT_MAX;
    if (value <= -2147483648.0)
        return INT_MIN;
    return static_cast<int>(value);
}

std::string format_edit_double(double value) {
    return format_c("%lf", value);
}

std::string format_shortest_double(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string format_shortest_float(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}
