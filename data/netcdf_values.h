#pragma once

#include <cstdint>
#include <limits>
#include <vector>

// How the stored values of a NetCDF variable become float32 samples, following the CF
// conventions. No NetCDF calls here: the rule is read from the attributes elsewhere.

// The numeric types a variable can be stored in, signed and unsigned.
enum class StoredType {
    int8,
    uint8,
    int16,
    uint16,
    int32,
    uint32,
    int64,
    uint64,
    float32,
    float64
};

int stored_type_bytes(StoredType type);

// One value of the type, from its bytes in native order, as a double.
double stored_value(StoredType type, const void* bytes);

// The sample written for a missing value; everything at or below -100 is read as missing.
inline constexpr float missing_sample = -9999.0f;

struct ValueRule {
    StoredType type = StoredType::float32;
    // Packed values: sample = stored * scale + offset, in double, then rounded to float32.
    bool packed = false;
    double scale = 1.0;
    double offset = 0.0;
    // Stored values that mean "no data": _FillValue (or the library's default fill) and every
    // missing_value, each as the stored type holds it.
    std::vector<double> missing;
    // Valid values lie in [valid_min, valid_max]; in stored units, or in unpacked units when
    // `valid_unpacked` (the attributes have the type of scale_factor, not of the variable).
    double valid_min = -std::numeric_limits<double>::infinity();
    double valid_max = std::numeric_limits<double>::infinity();
    bool valid_unpacked = false;

    // Adds a missing value given in the attribute's own type: kept only where the stored type
    // can hold it (1e37 stays for a float variable as the float nearest to it; 0.5 cannot mark
    // a short).
    void add_missing(double value);
};

struct ValueCounts {
    std::int64_t missing = 0; // written as missing_sample
    std::int64_t low = 0;     // valid values at or below -100
};

// Converts `n` stored values (of rule.type, native byte order) at `stored` into samples at
// out[0], out[stride], out[2 * stride], ... A value is missing when it is NaN, equals one of
// the missing values, lies outside the valid range, or does not fit in float32 once unpacked.
void convert_values(const ValueRule& rule, const void* stored, std::int64_t n, float* out,
                    std::int64_t stride, ValueCounts& counts);
