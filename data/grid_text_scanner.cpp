#include "grid_text_scanner.h"

#include "c_locale.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fast_float/fast_float.h>

namespace {

// The white space that "%f" skips and that ends a number (isspace in the C locale).
inline bool is_c_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Characters of a plain decimal number; fast_float's answer is taken only for text made of them.
inline bool is_decimal_char(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
}

// sscanf("%f") on a copy of the number's text, so that glibc's own rules decide every odd case
// (hex floats, inf, nan(...), "1e+", "0x", a leading '+').
bool scan_float_slow(const char* p, const char* end, float& value) {
    const char* q = p;
    while (q < end && *q && is_c_space(*q))
        ++q;
    while (q < end && *q && !is_c_space(*q))
        ++q;
    const std::size_t n = static_cast<std::size_t>(q - p);
    char small[256];
    char* text = n < sizeof small ? small : static_cast<char*>(std::malloc(n + 1));
    if (!text)
        return false;
    std::memcpy(text, p, n);
    text[n] = '\0';
    float v;
    int got;
    {
        CLocaleScope c;
        got = std::sscanf(text, "%f", &v);
    }
    if (text != small)
        std::free(text);
    if (got != 1)
        return false;
    value = v;
    return true;
}

} // namespace

bool scan_float(const char* p, const char* end, float& value) {
    if (p < end && ((*p >= '0' && *p <= '9') || *p == '-' || *p == '.')) {
        float v;
        const auto r = fast_float::from_chars(p, end, v);
        if (r.ec == std::errc() && (r.ptr == end || is_c_space(*r.ptr) || *r.ptr == '\0')) {
            bool plain = true;
            for (const char* c = p; c < r.ptr; ++c)
                plain = plain && is_decimal_char(*c);
            // An overflow to infinity goes the slow way too, so it is exactly what "%f" gives.
            if (plain && v - v == 0.0f) {
                value = v;
                return true;
            }
        }
    }
    return scan_float_slow(p, end, value);
}

void scan_data_line(const char* begin, const char* end, int ncomp, float* out) {
    float holder = 1.0f;
    const char* p = begin;
    const int fields = 3 + ncomp;
    for (int f = 0; f < fields; ++f) {
        while (p < end && *p == ' ')
            ++p;
        if (p < end && *p != '\0') {
            float v;
            if (scan_float(p, end, v))
                holder = v;
        }
        // Advance to the next space; a NUL ends the text for every later field.
        while (p < end && *p != ' ') {
            if (*p == '\0') {
                end = p;
                break;
            }
            ++p;
        }
        if (f >= 3)
            out[f - 3] = holder;
    }
}

bool scan_header(const char* begin, const char* end, int& nz, int& ny, int& nx, int& ncomp) {
    int* fields[4] = {&nz, &ny, &nx, &ncomp};
    const char* p = begin;
    for (int i = 0; i < 4; ++i) {
        // "%d" skips white space, takes an optional sign and at least one digit.
        while (p < end && is_c_space(*p))
            ++p;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-')) {
            negative = *p == '-';
            ++p;
        }
        if (p >= end || *p < '0' || *p > '9')
            return false;
        long long v = 0;
        while (p < end && *p >= '0' && *p <= '9') {
            if (v <= INT_MAX)
                v = v * 10 + (*p - '0');
            ++p;
        }
        if (negative)
            v = -v;
        if (v <= 0 || v > INT_MAX)
            return false;
        *fields[i] = static_cast<int>(v);
    }
    return true;
}
