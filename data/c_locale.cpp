#include "c_locale.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

locale_t c_locale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

CLocaleScope::CLocaleScope() : previous_(uselocale(c_locale())) {}

CLocaleScope::~CLocaleScope() {
    uselocale(previous_);
}

std::string format_c(const char* format, ...) {
    CLocaleScope c;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return out;
}

namespace {

// strtod and strtol skip leading white space; a command-line word may hold none at all.
bool plain_word(const std::string& word) {
    if (word.empty())
        return false;
    for (const char c : word)
        if (c == ' ' || (c >= '\t' && c <= '\r'))
            return false;
    return true;
}

} // namespace

bool parse_c_double(const std::string& word, double& value) {
    if (!plain_word(word))
        return false;
    char* end = nullptr;
    const double v = strtod_l(word.c_str(), &end, c_locale());
    if (end != word.c_str() + word.size())
        return false;
    value = v;
    return true;
}

bool parse_c_int(const std::string& word, int& value) {
    if (!plain_word(word))
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(word.c_str(), &end, 10);
    if (end != word.c_str() + word.size() || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool parse_c_axis_scale(const std::string& word, double& x, double& y, double& z) {
    double v[3];
    std::size_t from = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = i < 2 ? word.find(',', from) : word.size();
        if (comma == std::string::npos || !parse_c_double(word.substr(from, comma - from), v[i]) ||
            !std::isfinite(v[i]) || v[i] == 0.0)
            return false;
        from = comma + 1;
    }
    x = v[0];
    y = v[1];
    z = v[2];
    return true;
}
