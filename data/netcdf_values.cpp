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

template <class T>
void convert_typed(const ValueRule& rule, const T* stored, std::int64_t n, float* out,
                   std::int64_t stride, ValueCounts& counts) {
    const double* const missing = rule.missing.data();
    const std::size_t missing_count = rule.missing.size();
    const bool stored_range = !rule.valid_unpacked;
    const float low_limit = static_cast<float>(missing_threshold);
    std::int64_t missed = 0, low = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double s = static_cast<double>(stored[i]);
        bool is_missing = std::isnan(s);
        for (std::size_t m = 0; m < missing_count; ++m)
            is_missing = is_missing || s == missing[m];
        if (stored_range)
            is_missing = is_missing || !(s >= rule.valid_min && s <= rule.valid_max);
        const double v = rule.packed ? s * rule.scale + rule.offset : s;
        if (!stored_range)
            is_missing = is_missing || !(v >= rule.valid_min && v <= rule.valid_max);
        const float f = static_cast<float>(v);
        is_missing = is_missing || !std::isfinite(f);
        if (is_missing) {
            out[i * stride] = missing_sample;
            ++missed;
        } else {
            out[i * stride] = f;
            low += f <= low_limit;
        }
    }
    counts.missing += missed;
    counts.low += low;
}

template <class T> void add_missing_typed(std::vector<double>& missing, double value) {
    if (holds<T>(value))
        missing.push_back(as_stored<T>(value));
}

} // namespace

int stored_type_bytes(StoredType type) {
    switch (type) {
    case StoredType::int8:
    case StoredType::uint8:
        return 1;
    case StoredType::int16:
    case StoredType::uint16:
        return 2;
    case StoredType::int32:
    case StoredType::uint32:
    case StoredType::float32:
        return 4;
    case StoredType::int64:
    case StoredType::uint64:
    case StoredType::float64:
        return 8;
    }
    return 0;
}

void ValueRule::add_missing(double value) {
    switch (type) {
    case StoredType::int8:
        return add_missing_typed<std::int8_t>(missing, value);
    case StoredType::uint8:
        return add_missing_typed<std::uint8_t>(missing, value);
    case StoredType::int16:
        return add_missing_typed<std::int16_t>(missing, value);
    case StoredType::uint16:
        return add_missing_typed<std::uint16_t>(missing, value);
    case StoredType::int32:
        return add_missing_typed<std::int32_t>(missing, value);
    case StoredType::uint32:
        return add_missing_typed<std::uint32_t>(missing, value);
    case StoredType::int64:
        return add_missing_typed<std::int64_t>(missing, value);
    case StoredType::uint64:
        return add_missing_typed<std::uint64_t>(missing, value);
    case StoredType::float32:
        return add_missing_typed<float>(missing, value);
    case StoredType::float64:
        return add_missing_typed<double>(missing, value);
    }
}

void convert_values(const ValueRule& rule, const void* stored, std::int64_t n, float* out,
                    std::int64_t stride, ValueCounts& counts) {
    switch (rule.type) {
    case StoredType::int8:
        return convert_typed(rule, static_cast<const std::int8_t*>(stored), n, out, stride, counts);
    case StoredType::uint8:
        return convert_typed(rule, static_cast<const std::uint8_t*>(stored), n, out, stride,
                             counts);
    case StoredType::int16:
        return convert_typed(rule, static_cast<const std::int16_t*>(stored), n, out, stride,
                             counts);
    case StoredType::uint16:
        return convert_typed(rule, static_cast<const std::uint16_t*>(stored), n, out, stride,
                             counts);
    case StoredType::int32:
        return convert_typed(rule, static_cast<const std::int32_t*>(stored), n, out, stride,
                             counts);
    case StoredType::uint32:
        return convert_typed(rule, static_cast<const std::uint32_t*>(stored), n, out, stride,
                             counts);
    case StoredType::int64:
        return convert_typed(rule, static_cast<const std::int64_t*>(stored), n, out, stride,
                             counts);
    case StoredType::uint64:
        return convert_typed(rule, static_cast<const std::uint64_t*>(stored), n, out, stride,
                             counts);
    case StoredType::float32:
        return convert_typed(rule, static_cast<const float*>(stored), n, out, stride, counts);
    case StoredType::float64:
        return convert_typed(rule, static_cast<const double*>(stored), n, out, stride, counts);
    }
}
