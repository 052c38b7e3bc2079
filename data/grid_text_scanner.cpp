#include "grid_text_scanner.h"

#include "c_locale.h"

#include <bit>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fast_float/fast_float.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <tmmintrin.h>
#endif

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

// Plain decimals of at most seven significant digits ("-12.345"), the common case of grid text.
// Mantissa and power of ten are then both exact floats, so one IEEE division gives the correctly
// rounded value, the same as any exact parser. Returns the end of the number, or null for
// anything else (the number must end at white space, NUL or `end`).
constexpr float powers_of_ten[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};

inline const char* scan_short_decimal(const char* p, const char* end, float& value) {
    const auto& powers = powers_of_ten;
    const bool negative = p < end && *p == '-';
    if (negative)
        ++p;
    std::uint32_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    while (p < end && static_cast<unsigned>(*p - '0') < 10 && digits <= 7) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
        ++digits;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && static_cast<unsigned>(*p - '0') < 10 && digits <= 7) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
            ++digits;
            ++fraction;
        }
    }
    if (digits == 0 || digits > 7 || (p < end && *p != '\0' && !is_c_space(*p)))
        return nullptr;
    float v = static_cast<float>(mantissa);
    if (fraction)
        v /= powers[fraction];
    value = negative ? -v : v;
    return p;
}

// The line readers are built from small steps that must be inlined to be fast, also into the
// readers compiled for another instruction set.
#if defined(__GNUC__) || defined(__clang__)
#define HALVORN_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define HALVORN_ALWAYS_INLINE inline
#endif

// Bit i of each mask tells what byte i of a line's first 64 bytes is. Control bytes are those
// below 32 (NUL, tab, '\r', '\n' among them) and those above 127.
struct LineMasks {
    std::uint64_t control = 0;
    std::uint64_t space = 0;
    std::uint64_t dot = 0;
};

// Classifies the 16 bytes at p into bits shift ... shift + 15 of the masks.
HALVORN_ALWAYS_INLINE void classify_16(const char* p, int shift, LineMasks& m) {
#if defined(__SSE2__)
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto bits = [shift](__m128i is) {
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(is))) << shift;
    };
    m.control |= bits(_mm_cmplt_epi8(b, _mm_set1_epi8(' ')));
    m.space |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8(' ')));
    m.dot |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8('.')));
#else
    for (int i = 0; i < 16; ++i) {
        const std::uint64_t bit = std::uint64_t{1} << (shift + i);
        const auto c = static_cast<unsigned char>(p[i]);
        m.control |= c < ' ' || c > 127 ? bit : 0;
        m.space |= c == ' ' ? bit : 0;
        m.dot |= c == '.' ? bit : 0;
    }
#endif
}

// low_bytes[n]: the low n bytes of a word.
constexpr std::uint64_t low_bytes[9] = {0,
                                        0xFF,
                                        0xFFFF,
                                        0xFFFFFF,
                                        0xFFFFFFFF,
                                        0xFFFFFFFFFF,
                                        0xFFFFFFFFFFFF,
                                        0xFFFFFFFFFFFFFF,
                                        0xFFFFFFFFFFFFFFFF};

// The number whose eight decimal digits (values 0 to 9) are the bytes of x, the most significant
// digit in the lowest byte.
HALVORN_ALWAYS_INLINE std::uint32_t eight_digits(std::uint64_t x) {
    x = x * 10 + (x >> 8);
    const std::uint64_t pairs = 0x000000FF000000FF;
    x = ((x & pairs) * (100 + (std::uint64_t{1000000} << 32)) +
         ((x >> 16) & pairs) * (1 + (std::uint64_t{10000} << 32))) >>
        32;
    return static_cast<std::uint32_t>(x);
}

// The float of a number below 2^24, which it holds exactly. The plain conversion writes only
// part of its register, which chains each line's divisions to those of the line before.
HALVORN_ALWAYS_INLINE float exact_float(std::uint32_t n) {
#if defined(__SSE2__)
    return _mm_cvtss_f32(_mm_cvtepi32_ps(_mm_cvtsi32_si128(static_cast<int>(n))));
#else
    return static_cast<float>(n);
#endif
}

} // namespace

namespace {

// scan_plain_data_line() for N components (0: ncomp of them), the lookahead already checked.
// One component's field of a plain line: after its sign, `length` bytes at `from`, of which the
// one at `at` is the '.' (at == length: none).
struct Field {
    int from;
    int length;
    int at;
    bool negative;

    int digits() const { return length - (at < length); }
    int fraction() const { return at < length ? length - 1 - at : 0; }
};

// Takes the next field from the masks of field starts and ends; false unless it can be a short
// plain decimal: at most one '.', at most seven digits (the digits themselves are checked by
// the readers).
HALVORN_ALWAYS_INLINE bool next_field(const char* begin, std::uint64_t& starts, std::uint64_t& ends,
                                      std::uint64_t dot_mask, Field& f) {
    if (!starts)
        return false;
    const std::uint64_t start_bit = starts & (0 - starts);
    const std::uint64_t end_bit = ends & (0 - ends);
    starts &= starts - 1;
    ends &= ends - 1;
    const std::uint64_t dots = dot_mask & ((end_bit - start_bit) | end_bit);
    if (dots & (dots - 1))
        return false;
    const int first = __builtin_ctzll(start_bit);
    f.negative = begin[first] == '-';
    f.from = first + f.negative;
    f.length = __builtin_ctzll(end_bit) + 1 - f.from;
    f.at = dots ? __builtin_ctzll(dots) - f.from : f.length;
    return static_cast<unsigned>(f.digits() - 1) <= 6u;
}

// Reads a field's number from a word of its bytes; false when a byte is not a digit.
HALVORN_ALWAYS_INLINE bool word_value(const char* begin, const Field& f, float& value) {
    std::uint64_t x;
    std::memcpy(&x, begin + f.from, 8);
    if constexpr (std::endian::native == std::endian::big)
        x = __builtin_bswap64(x);
    x = (x ^ 0x3030303030303030) & low_bytes[f.length];
    // Without a '.' the split point is past the digits and moves nothing.
    const std::uint64_t before = low_bytes[f.at];
    x = (x & before) | ((x >> 8) & ~before);
    // Every byte left must be a digit (none of them is above 127 here, so no carry).
    if ((x + 0x7676767676767676) & 0x8080808080808080)
        return false;
    // Leading zeros make up the eight digits.
    const float v =
        exact_float(eight_digits(x << (8 * (8 - f.digits())))) / powers_of_ten[f.fraction()];
    value = f.negative ? -v : v;
    return true;
}

// Finds the fields of the plain line at `begin`: the masks of where the fields after the three
// ignored ones start and end, the '.' positions, and the line's end. False for a line that is
// not plain.
HALVORN_ALWAYS_INLINE bool plain_fields(const char* begin, std::uint64_t& starts,
                                        std::uint64_t& ends, std::uint64_t& dots,
                                        const char*& next) {
    LineMasks m;
    classify_16(begin, 0, m);
    classify_16(begin + 16, 16, m);
    if (!m.control) {
        classify_16(begin + 32, 32, m);
        classify_16(begin + 48, 48, m);
        if (!m.control)
            return false;
    }
    // The first control byte must end the line: a '\n', or a '\r' just before one.
    const int text_end = __builtin_ctzll(m.control);
    const int newline = text_end + (begin[text_end] == '\r');
    if (begin[newline] != '\n')
        return false;
    next = begin + newline + 1;
    const std::uint64_t text = (std::uint64_t{1} << text_end) - 1;
    // Fields are the runs of other bytes: bits where one starts and where one ends.
    const std::uint64_t field_bytes = ~m.space & text;
    starts = field_bytes & ~(field_bytes << 1);
    ends = field_bytes & ~(field_bytes >> 1);
    starts &= starts - 1;
    ends &= ends - 1;
    starts &= starts - 1;
    ends &= ends - 1;
    starts &= starts - 1;
    ends &= ends - 1;
    dots = m.dot;
    return true;
}

// scan_plain_data_line() for N components (0: ncomp of them), the lookahead already checked.
template <int N> inline const char* plain_line(const char* begin, int ncomp, float* out) {
    if constexpr (N > 0)
        ncomp = N;
    std::uint64_t starts, ends, dots;
    const char* next;
    if (!plain_fields(begin, starts, ends, dots, next))
        return nullptr;
    for (int c = 0; c < ncomp; ++c) {
        Field f;
        if (!next_field(begin, starts, ends, dots, f) || !word_value(begin, f, out[c]))
            return nullptr;
    }
    return next;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define HALVORN_SHUFFLE_READER 1
#define HALVORN_SSSE3 __attribute__((target("ssse3")))

// shuffle_masks[length * 9 + at]: picks a field's digits, after its sign and without its '.',
// from 16 bytes loaded at `from` into the low 8 bytes, right-aligned behind zeros.
struct ShuffleMasks {
    alignas(16) std::uint8_t bytes[81][16];
    constexpr ShuffleMasks() : bytes{} {
        for (int length = 0; length <= 8; ++length)
            for (int at = 0; at <= 8; ++at) {
                std::uint8_t* mask = bytes[length * 9 + at];
                const int digits = length - (at < length);
                for (int j = 0; j < 16; ++j)
                    mask[j] = 0x80;
                for (int i = 0; i < digits && i < 8; ++i)
                    mask[8 - digits + i] = static_cast<std::uint8_t>(i < at ? i : i + 1);
            }
    }
};
constexpr ShuffleMasks shuffle_masks;

// The digits of a field in the low 8 bytes (values 0 to 9 where all are digits).
HALVORN_SSSE3 HALVORN_ALWAYS_INLINE __m128i field_digits(const char* begin, const Field& f) {
    const __m128i text = _mm_xor_si128(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + f.from)), _mm_set1_epi8(0x30));
    return _mm_shuffle_epi8(text, _mm_load_si128(reinterpret_cast<const __m128i*>(
                                      shuffle_masks.bytes[f.length * 9 + f.at])));
}

// Reads two fields' numbers at once (the second may be a copy of the first), storing `count`
// of them; false when a byte is not a digit.
HALVORN_SSSE3 HALVORN_ALWAYS_INLINE bool shuffle_values(const char* begin, const Field& a,
                                                        const Field& b, int count, float* out) {
    const __m128i digits = _mm_unpacklo_epi64(field_digits(begin, a), field_digits(begin, b));
    const __m128i nine = _mm_set1_epi8(9);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(digits, nine), nine)) != 0xFFFF)
        return false;
    // Pairs, then fours, then the eight digits of each half.
    __m128i n = _mm_maddubs_epi16(
        digits, _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1));
    n = _mm_madd_epi16(n, _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));
    n = _mm_packs_epi32(n, n);
    n = _mm_madd_epi16(n, _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1));
    const __m128 powers = _mm_unpacklo_ps(_mm_load_ss(&powers_of_ten[a.fraction()]),
                                          _mm_load_ss(&powers_of_ten[b.fraction()]));
    const __m128 signs = _mm_castsi128_ps(
        _mm_cvtsi64_si128(static_cast<long long>((static_cast<std::uint64_t>(a.negative) << 31) |
                                                 (static_cast<std::uint64_t>(b.negative) << 63))));
    // The upper two lanes divide by zero; they are not stored.
    const __m128 v = _mm_xor_ps(_mm_div_ps(_mm_cvtepi32_ps(n), powers), signs);
    if (count == 2)
        _mm_storel_pi(reinterpret_cast<__m64*>(out), v);
    else
        _mm_store_ss(out, v);
    return true;
}

// plain_line() reading the components two at a time.
template <int N>
HALVORN_SSSE3 HALVORN_ALWAYS_INLINE const char* plain_line_shuffled(const char* begin, int ncomp,
                                                                    float* out) {
    if constexpr (N > 0)
        ncomp = N;
    std::uint64_t starts, ends, dots;
    const char* next;
    if (!plain_fields(begin, starts, ends, dots, next))
        return nullptr;
    for (int c = 0; c < ncomp; c += 2) {
        Field a, b;
        if (!next_field(begin, starts, ends, dots, a))
            return nullptr;
        const int count = c + 1 < ncomp ? 2 : 1;
        if (count == 2) {
            if (!next_field(begin, starts, ends, dots, b))
                return nullptr;
        } else {
            b = a;
        }
        if (!shuffle_values(begin, a, b, count, out + c))
            return nullptr;
    }
    return next;
}
#endif

// Reads plain lines from p on while they start before `to` and within the lookahead of `stop`,
// at most max_lines of them and none longer than `window` bytes with its '\n'.
template <int N>
const char* plain_lines(const char* p, const char* to, const char* stop, int ncomp,
                        std::size_t window, std::int64_t max_lines, float* out,
                        std::int64_t& lines) {
    const char* const last = stop - plain_line_lookahead;
    std::int64_t n = 0;
    while (n < max_lines && p < to && p <= last) {
        const char* const next = plain_line<N>(p, ncomp, out);
        if (!next || static_cast<std::size_t>(next - p) > window)
            break;
        p = next;
        out += ncomp;
        ++n;
    }
    lines = n;
    return p;
}

#if HALVORN_SHUFFLE_READER
// The same with the components read two at a time (the same loop, compiled for SSSE3).
template <int N>
HALVORN_SSSE3 const char*
plain_lines_shuffled(const char* p, const char* to, const char* stop, int ncomp, std::size_t window,
                     std::int64_t max_lines, float* out, std::int64_t& lines) {
    const char* const last = stop - plain_line_lookahead;
    std::int64_t n = 0;
    while (n < max_lines && p < to && p <= last) {
        const char* const next = plain_line_shuffled<N>(p, ncomp, out);
        if (!next || static_cast<std::size_t>(next - p) > window)
            break;
        p = next;
        out += ncomp;
        ++n;
    }
    lines = n;
    return p;
}

bool has_ssse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

} // namespace

const char* scan_plain_data_line(const char* begin, const char* stop, int ncomp, float* out) {
    if (stop - begin < plain_line_lookahead)
        return nullptr;
    return plain_line<0>(begin, ncomp, out);
}

const char* scan_plain_data_lines(const char* begin, const char* to, const char* stop, int ncomp,
                                  std::size_t window, std::int64_t max_lines, float* out,
                                  std::int64_t& lines) {
    if (stop - begin < plain_line_lookahead) {
        lines = 0;
        return begin;
    }
    // The common component counts unrolled.
#if HALVORN_SHUFFLE_READER
    if (has_ssse3()) {
        switch (ncomp) {
        case 1:
            return plain_lines_shuffled<1>(begin, to, stop, ncomp, window, max_lines, out, lines);
        case 2:
            return plain_lines_shuffled<2>(begin, to, stop, ncomp, window, max_lines, out, lines);
        case 3:
            return plain_lines_shuffled<3>(begin, to, stop, ncomp, window, max_lines, out, lines);
        case 4:
            return plain_lines_shuffled<4>(begin, to, stop, ncomp, window, max_lines, out, lines);
        default:
            return plain_lines_shuffled<0>(begin, to, stop, ncomp, window, max_lines, out, lines);
        }
    }
#endif
    switch (ncomp) {
    case 1:
        return plain_lines<1>(begin, to, stop, ncomp, window, max_lines, out, lines);
    case 2:
        return plain_lines<2>(begin, to, stop, ncomp, window, max_lines, out, lines);
    case 3:
        return plain_lines<3>(begin, to, stop, ncomp, window, max_lines, out, lines);
    case 4:
        return plain_lines<4>(begin, to, stop, ncomp, window, max_lines, out, lines);
    default:
        return plain_lines<0>(begin, to, stop, ncomp, window, max_lines, out, lines);
    }
}

bool scan_float(const char* p, const char* end, float& value) {
    if (p < end && ((*p >= '0' && *p <= '9') || *p == '-' || *p == '.')) {
        if (scan_short_decimal(p, end, value))
            return true;
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
    const char* p = begin;
    // Advances to the next space; a NUL ends the text for every later field.
    const auto to_next_space = [&] {
        while (p < end && *p != ' ') {
            if (*p == '\0') {
                end = p;
                break;
            }
            ++p;
        }
    };
    // Skips spaces, notes where the field starts (null when the text has ended) and advances to
    // the next space.
    const auto next_field = [&]() -> const char* {
        while (p < end && *p == ' ')
            ++p;
        const char* field = p < end && *p != '\0' ? p : nullptr;
        to_next_space();
        return field;
    };
    // The three leading numbers only matter when a component fails to scan before any has
    // succeeded: then the last of them that scans is repeated. They are parsed only then.
    const char* ignored[3];
    for (const char*& field : ignored)
        field = next_field();
    float holder = 1.0f;
    bool holder_known = false;
    for (int c = 0; c < ncomp; ++c) {
        float v;
        // Most fields are short decimals: read them in one go and only then move on to the
        // next space (the number's own characters hold none).
        while (p < end && *p == ' ')
            ++p;
        if (const char* after = scan_short_decimal(p, end, v)) {
            p = after;
            to_next_space();
            holder = v;
            holder_known = true;
            out[c] = holder;
            continue;
        }
        const char* field = next_field();
        if (field && scan_float(field, end, v)) {
            holder = v;
            holder_known = true;
        } else if (!holder_known) {
            for (int f = 2; f >= 0; --f)
                if (ignored[f] && scan_float(ignored[f], end, v)) {
                    holder = v;
                    break;
                }
            holder_known = true;
        }
        out[c] = holder;
    }
}

namespace {

// Scans "%d %d %d %d" as sscanf does: each number after any white space, with an optional sign
// and at least one digit. Returns how many positive ints were read into `values` before the
// scan ended; `stop` is where it ended (after the fourth number or at the character that
// refused it), and `at_end` tells whether it ran into `end`, where more text could still have
// changed the outcome.
int scan_header_at(const char* begin, const char* end, int (&values)[4], const char*& stop,
                   bool& at_end) {
    const char* p = begin;
    int read = 0;
    for (; read < 4; ++read) {
        while (p < end && is_c_space(*p))
            ++p;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-')) {
            negative = *p == '-';
            ++p;
        }
        if (p >= end || *p < '0' || *p > '9')
            break;
        long long v = 0;
        while (p < end && *p >= '0' && *p <= '9') {
            if (v <= INT_MAX)
                v = v * 10 + (*p - '0');
            ++p;
        }
        if (negative)
            v = -v;
        if (v <= 0 || v > INT_MAX)
            break;
        values[read] = static_cast<int>(v);
    }
    stop = p;
    at_end = p >= end;
    return read;
}

} // namespace

bool scan_header(const char* begin, const char* end, int& nz, int& ny, int& nx, int& ncomp) {
    int values[4];
    const char* stop;
    bool at_end;
    if (scan_header_at(begin, end, values, stop, at_end) != 4)
        return false;
    nz = values[0];
    ny = values[1];
    nx = values[2];
    ncomp = values[3];
    return true;
}

std::int64_t header_needed(const char* begin, const char* end) {
    int values[4];
    const char* stop;
    bool at_end;
    scan_header_at(begin, end, values, stop, at_end);
    return at_end ? -1 : stop - begin;
}

std::int64_t data_line_needed(const char* begin, const char* end, int ncomp) {
    const std::int64_t fields = 3 + static_cast<std::int64_t>(ncomp);
    const char* p = begin;
    for (std::int64_t f = 0;; ++f) {
        while (p < end && *p == ' ')
            ++p;
        if (p == end)
            return -1;
        if (*p == '\0')
            return p - begin; // the text ends here for this field and every later one
        // The number "%f" reads for this field: white space skipped, then up to white space or
        // a NUL. It ends no later than the field does unless the field is all tabs.
        const char* q = p;
        while (q < end && is_c_space(*q))
            ++q;
        while (q < end && *q != '\0' && !is_c_space(*q))
            ++q;
        if (q == end)
            return -1;
        if (f == fields - 1)
            return q - begin;
        // The next field begins after the next space; a NUL before it ends the text.
        while (p < end && *p != ' ' && *p != '\0')
            ++p;
        if (p == end)
            return -1;
        if (*p == '\0')
            return p - begin;
    }
}
