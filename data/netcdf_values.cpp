#include "netcdf_values.h"

#include "shared_constants.h"

#include <cmath>
#include <cstring>

namespace {

template <class T> bool holds(double v) {
    if constexpr (std::numeric_limits<T>::is_integer) {
        // The bounds of the 64-bit types round to the nearest double; a value just beyond
        // them matches no stored value anyway.
        return v == std::floor(v) && v >= static_cast<double>(std::numeric_limits<T>::min()) &&
               v <= static_cast<double>(std::numeric_limits<T>::max());
    } else {
        return true;
    }
}

template <class T> double as_stored(double v) {
    if constexpr (std::is_same_v<T, float>)
        return static_cast<double>(static_cast<float>(v));
    return v;
}

// Missing values compared per value without a loop: a kernel compares `slots` of them (one, the
// usual _FillValue, or up to four), the unused slots holding NaN, which equals nothing.
constexpr std::size_t missing_slots = 4;

template <class V, std::size_t slots> struct MissingValues {
    V value[slots];
    explicit MissingValues(const std::vector<double>& missing) {
        for (std::size_t m = 0; m < slots; ++m)
            value[m] = m < missing.size() ? static_cast<V>(missing[m])
                                          : std::numeric_limits<V>::quiet_NaN();
    }
    bool none_equals(V v) const {
        bool none = true;
        for (std::size_t m = 0; m < slots; ++m)
            none &= v != value[m];
        return none;
    }
};

// The conversion of one stored type, without branches in the loop, so that the compiler can
// keep it in registers (a few nanoseconds per value would make the conversion the slowest part
// of an import).
template <class T, bool packed, bool unpacked_range, std::size_t slots>
void convert_kernel(const ValueRule& rule, const T* stored, std::int64_t n, float* out,
                    std::int64_t stride, ValueCounts& counts) {
    const MissingValues<double, slots> missing(rule.missing);
    const double scale = rule.scale, offset = rule.offset;
    const double low_valid = rule.valid_min, high_valid = rule.valid_max;
    const float low_limit = static_cast<float>(missing_threshold);
    const float largest = std::numeric_limits<float>::max();
    std::int64_t missed = 0, low = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(stored[i]);
        const double v = packed ? s * scale + offset : s;
        const double checked = unpacked_range ? v : s;
        const float f = static_cast<float>(v);
        // NaN fails every comparison, and so is missing here.
        const bool valid = missing.none_equals(s) & (checked >= low_valid) &
                           (checked <= high_valid) & (std::fabs(f) <= largest);
        out[i * stride] = valid ? f : missing_sample;
        missed += !valid;
        low += valid & (f <= low_limit);
    }
    counts.missing += missed;
    counts.low += low;
}

// Unpacked float32 values, compared as floats: twice as many fit a vector register as doubles.
// The valid range becomes the floats within it, so the result is that of convert_kernel. Without
// a valid range only the missing values and NaN or infinity are looked for.
template <std::size_t slots, bool ranged>
void convert_floats(const ValueRule& rule, const float* stored, std::int64_t n, float* out,
                    std::int64_t stride, ValueCounts& counts) {
    const float inf = std::numeric_limits<float>::infinity();
    const MissingValues<float, slots> missing(rule.missing);
    // The smallest float at or above valid_min, the largest at or below valid_max.
    float low_valid = static_cast<float>(rule.valid_min);
    if (static_cast<double>(low_valid) < rule.valid_min)
        low_valid = std::nextafter(low_valid, inf);
    float high_valid = static_cast<float>(rule.valid_max);
    if (static_cast<double>(high_valid) > rule.valid_max)
        high_valid = std::nextafter(high_valid, -inf);
    const float low_limit = static_cast<float>(missing_threshold);
    const float largest = std::numeric_limits<float>::max();
    std::int64_t missed = 0, low = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const float f = stored[i];
        bool valid = missing.none_equals(f) & (std::fabs(f) <= largest);
        if constexpr (ranged)
            valid &= (f >= low_valid) & (f <= high_valid);
        out[i * stride] = valid ? f : missing_sample;
        missed += !valid;
        low += valid & (f <= low_limit);
    }
    counts.missing += missed;
    counts.low += low;
}

// More missing values than the kernel compares: the plain loop.
template <class T>
void convert_many_missing(const ValueRule& rule, const T* stored, std::int64_t n, float* out,
                          std::int64_t stride, ValueCounts& counts) {
    const float low_limit = static_cast<float>(missing_threshold);
    for (std::int64_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(stored[i]);
        const double v = rule.packed ? s * rule.scale + rule.offset : s;
        const double checked = rule.valid_unpacked ? v : s;
        const float f = static_cast<float>(v);
        bool valid = checked >= rule.valid_min && checked <= rule.valid_max &&
                     std::fabs(f) <= std::numeric_limits<float>::max();
        for (const double m : rule.missing)
            valid = valid && s != m;
        out[i * stride] = valid ? f : missing_sample;
        counts.missing += !valid;
        counts.low += valid && f <= low_limit;
    }
}

template <class T, std::size_t slots>
void convert_slots(const ValueRule& rule, const T* stored, std::int64_t n, float* out,
                   std::int64_t stride, ValueCounts& counts) {
    if constexpr (std::is_same_v<T, float>) {
        if (!rule.packed) {
            // A NaN bound (a damaged attribute) makes every value missing, as the comparisons
            // of the ranged kernel do.
            const bool ranged = !(rule.valid_min == -std::numeric_limits<double>::infinity() &&
                                  rule.valid_max == std::numeric_limits<double>::infinity());
            return ranged ? convert_floats<slots, true>(rule, stored, n, out, stride, counts)
                          : convert_floats<slots, false>(rule, stored, n, out, stride, counts);
        }
    }
    if (!rule.packed)
        return convert_kernel<T, false, false, slots>(rule, stored, n, out, stride, counts);
    if (!rule.valid_unpacked)
        return convert_kernel<T, true, false, slots>(rule, stored, n, out, stride, counts);
    convert_kernel<T, true, true, slots>(rule, stored, n, out, stride, counts);
}

template <class T>
void convert_typed(const ValueRule& rule, const T* stored, std::int64_t n, float* out,
                   std::int64_t stride, ValueCounts& counts) {
    if (rule.missing.size() > missing_slots)
        return convert_many_missing(rule, stored, n, out, stride, counts);
    if (rule.missing.size() <= 1)
        return convert_slots<T, 1>(rule, stored, n, out, stride, counts);
    convert_slots<T, missing_slots>(rule, stored, n, out, stride, counts);
}

// Calls f with a null pointer of the C++ type that `type` stands for.
template <class F> void with_type(StoredType type, F&& f) {
    switch (type) {
    case StoredType::int8:
        return f(static_cast<const std::int8_t*>(nullptr));
    case StoredType::uint8:
        return f(static_cast<const std::uint8_t*>(nullptr));
    case StoredType::int16:
        return f(static_cast<const std::int16_t*>(nullptr));
    case StoredType::uint16:
        return f(static_cast<const std::uint16_t*>(nullptr));
    case StoredType::int32:
        return f(static_cast<const std::int32_t*>(nullptr));
    case StoredType::uint32:
        return f(static_cast<const std::uint32_t*>(nullptr));
    case StoredType::int64:
        return f(static_cast<const std::int64_t*>(nullptr));
    case StoredType::uint64:
        return f(static_cast<const std::uint64_t*>(nullptr));
    case StoredType::float32:
        return f(static_cast<const float*>(nullptr));
    case StoredType::float64:
        return f(static_cast<const double*>(nullptr));
    }
}

} // namespace

int stored_type_bytes(StoredType type) {
    int bytes = 0;
    with_type(type, [&](auto* none) { bytes = sizeof(*none); });
    return bytes;
}

double stored_value(StoredType type, const void* bytes) {
    double v = 0;
    with_type(type, [&](auto* none) {
        std::remove_cv_t<std::remove_pointer_t<decltype(none)>> typed;
        std::memcpy(&typed, bytes, sizeof typed);
        v = static_cast<double>(typed);
    });
    return v;
}

void ValueRule::add_missing(double value) {
    with_type(type, [&](auto* none) {
        using T = std::remove_cv_t<std::remove_pointer_t<decltype(none)>>;
        if (holds<T>(value))
            missing.push_back(as_stored<T>(value));
    });
}

void convert_values(const ValueRule& rule, const void* stored, std::int64_t n, float* out,
                    std::int64_t stride, ValueCounts& counts) {
    with_type(rule.type, [&](auto* none) {
        convert_typed(rule, static_cast<decltype(none)>(stored), n, out, stride, counts);
    });
}
