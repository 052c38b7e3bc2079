#include "netcdf_classic_layout.h"

#include "c_locale.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

// Tags of the header's lists.
constexpr std::uint32_t tag_dimension = 0x0A;
constexpr std::uint32_t tag_variable = 0x0B;
constexpr std::uint32_t tag_attribute = 0x0C;
// A name longer than this is not one the library wrote.
constexpr std::int64_t max_name_bytes = 1 << 16;

// Reads the header front to back, big-endian, through a small buffer. Any read past the end
// or any overflow makes ok() false; the values read then are 0.
class HeaderReader {
public:
    HeaderReader(const ByteSource& bytes, int version) : bytes_(bytes), version_(version) {}

    std::uint64_t be(int n) {
        unsigned char b[8] = {};
        if (!take(b, n))
            return 0;
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 8) | b[i];
        return v;
    }
    std::uint32_t u32() { return static_cast<std::uint32_t>(be(4)); }
    // NON_NEG: 4 bytes, 8 in CDF-5.
    std::int64_t count() { return non_negative(be(version_ == 5 ? 8 : 4)); }
    // OFFSET: 4 bytes in CDF-1, 8 in CDF-2 and CDF-5.
    std::int64_t offset() { return non_negative(be(version_ == 1 ? 4 : 8)); }

    std::string name() {
        const std::int64_t n = count();
        if (n > max_name_bytes) {
            ok_ = false;
            return {};
        }
        std::string s(static_cast<std::size_t>(n), '\0');
        take(s.data(), n);
        skip(padding(n));
        return s;
    }

    void skip(std::int64_t n) {
        if (n < 0 || n > bytes_.size() - pos_) {
            fail();
            return;
        }
        pos_ += n;
    }

    bool ok() const { return ok_; }
    void fail() { ok_ = false; }

    static std::int64_t padding(std::int64_t n) { return (4 - n % 4) % 4; }

private:
    std::int64_t non_negative(std::uint64_t v) {
        if (v > static_cast<std::uint64_t>(INT64_MAX)) {
            ok_ = false;
            return 0;
        }
        return static_cast<std::int64_t>(v);
    }
    bool take(void* to, std::int64_t n) {
        if (!ok_ || n > bytes_.size() - pos_ || bytes_.read(pos_, to, n) != n) {
            ok_ = false;
            std::memset(to, 0, static_cast<std::size_t>(std::max<std::int64_t>(n, 0)));
            return false;
        }
        pos_ += n;
        return true;
    }

    const ByteSource& bytes_;
    int version_;
    std::int64_t pos_ = 4; // after the signature
    bool ok_ = true;
};

// Bytes of one value of a classic type; 0 for a type the formats do not have.
int type_bytes(std::uint32_t type, int version) {
    switch (type) {
    case 1: // byte
    case 2: // char
        return 1;
    case 3: // short
        return 2;
    case 4: // int
    case 5: // float
        return 4;
    case 6: // double
        return 8;
    }
    if (version == 5) {
        switch (type) {
        case 7: // ubyte
            return 1;
        case 8: // ushort
            return 2;
        case 9: // uint
            return 4;
        case 10: // int64
        case 11: // uint64
            return 8;
        }
    }
    return 0;
}

std::int64_t mul(std::int64_t a, std::int64_t b, bool& ok) {
    std::int64_t r = 0;
    if (__builtin_mul_overflow(a, b, &r))
        ok = false;
    return r;
}

std::int64_t add(std::int64_t a, std::int64_t b, bool& ok) {
    std::int64_t r = 0;
    if (__builtin_add_overflow(a, b, &r))
        ok = false;
    return r;
}

// Skips an attribute list.
void skip_attributes(HeaderReader& h, int version) {
    const std::uint32_t tag = h.u32();
    const std::int64_t n = h.count();
    if (tag != tag_attribute && !(tag == 0 && n == 0))
        return h.fail();
    for (std::int64_t i = 0; i < n && h.ok(); ++i) {
        h.name();
        const int bytes = type_bytes(h.u32(), version);
        const std::int64_t values = h.count();
        if (bytes == 0)
            return h.fail();
        bool ok = true;
        const std::int64_t size = mul(values, bytes, ok);
        if (!ok)
            return h.fail();
        h.skip(size);
        h.skip(HeaderReader::padding(size));
    }
}

struct Variable {
    std::string name;
    bool record = false;
    std::int64_t slice = 0; // bytes of the whole variable, or of one record of it
    std::int64_t begin = 0;
};

} // namespace

std::int64_t MemoryBytes::read(std::int64_t offset, void* to, std::int64_t n) const {
    if (offset < 0 || offset >= size_ || n <= 0)
        return 0;
    n = std::min(n, size_ - offset);
    std::memcpy(to, data_ + offset, static_cast<std::size_t>(n));
    return n;
}

std::int64_t FileBytes::read(std::int64_t offset, void* to, std::int64_t n) const {
    std::int64_t got = 0;
    while (got < n) {
        const ssize_t r =
            pread(fd_, static_cast<char*>(to) + got, static_cast<std::size_t>(n - got),
                  static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += r;
    }
    return got;
}

std::string check_classic_layout(const ByteSource& bytes) {
    unsigned char magic[4] = {};
    if (bytes.read(0, magic, 4) != 4 || std::memcmp(magic, "CDF", 3) != 0)
        return "does not begin with a NetCDF signature";
    const int version = magic[3];
    if (version != 1 && version != 2 && version != 5)
        return "is of an unknown NetCDF version";
    const std::string damaged = "has a damaged header";
    HeaderReader h(bytes, version);

    const std::uint64_t raw_records = h.be(version == 5 ? 8 : 4);
    const bool streaming = raw_records == (version == 5 ? ~std::uint64_t{0} : 0xFFFFFFFFu);
    if (!streaming && raw_records > static_cast<std::uint64_t>(INT64_MAX))
        return damaged;
    const auto records = static_cast<std::int64_t>(raw_records);

    std::vector<std::int64_t> dimensions;
    std::uint32_t tag = h.u32();
    std::int64_t n = h.count();
    if (tag != tag_dimension && !(tag == 0 && n == 0))
        return damaged;
    for (std::int64_t i = 0; i < n && h.ok(); ++i) {
        h.name();
        dimensions.push_back(h.count());
    }
    skip_attributes(h, version);

    std::vector<Variable> variables;
    tag = h.u32();
    n = h.count();
    if (tag != tag_variable && !(tag == 0 && n == 0))
        return damaged;
    bool ok = true;
    for (std::int64_t i = 0; i < n && h.ok() && ok; ++i) {
        Variable v;
        v.name = h.name();
        const std::int64_t rank = h.count();
        std::int64_t values = 1;
        for (std::int64_t k = 0; k < rank && h.ok(); ++k) {
            const std::int64_t d = h.count();
            if (d >= static_cast<std::int64_t>(dimensions.size()))
                return damaged;
            // Only the first dimension may be the record dimension (length 0).
            if (k == 0 && dimensions[d] == 0)
                v.record = true;
            else
                values = mul(values, dimensions[d], ok);
        }
        skip_attributes(h, version);
        const int size = type_bytes(h.u32(), version);
        h.count(); // vsize: recomputed, as it cannot hold the size of a variable over 4 GiB
        v.begin = h.offset();
        if (size == 0)
            return damaged;
        v.slice = mul(values, size, ok);
        variables.push_back(v);
    }
    if (!h.ok() || !ok)
        return damaged;

    // One record holds a slice of every record variable, each padded to 4 bytes, except when
    // there is only one record variable.
    std::int64_t record_bytes = 0;
    const auto record_variables = std::count_if(variables.begin(), variables.end(),
                                                [](const Variable& v) { return v.record; });
    for (const Variable& v : variables)
        if (v.record)
            record_bytes = add(
                record_bytes,
                record_variables == 1 ? v.slice : add(v.slice, HeaderReader::padding(v.slice), ok),
                ok);
    for (const Variable& v : variables) {
        std::int64_t end = 0;
        if (!v.record)
            end = add(v.begin, v.slice, ok);
        else if (!streaming && records > 0)
            end = add(add(v.begin, mul(records - 1, record_bytes, ok), ok), v.slice, ok);
        if (!ok)
            return damaged;
        if (end > bytes.size())
            return format_c("is truncated: the values of %s end at byte %lld, but the file "
                            "has only %lld bytes",
                            v.name.c_str(), static_cast<long long>(end),
                            static_cast<long long>(bytes.size()));
    }
    return {};
}
