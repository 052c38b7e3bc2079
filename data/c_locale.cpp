#include "c_locale.h"

#include <cstdarg>
#include <cstdio>

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
