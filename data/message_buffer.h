#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Flat binary messages between the import and its reader process: numbers in native byte order
// (both ends are the same program), strings and arrays with their length in front.
class MessageOut {
public:
    void i64(std::int64_t v) { put(&v, sizeof v); }
    void f64(double v) { put(&v, sizeof v); }
    void str(const std::string& s) {
        i64(static_cast<std::int64_t>(s.size()));
        put(s.data(), s.size());
    }
    void f64s(const double* v, std::size_t n) {
        i64(static_cast<std::int64_t>(n));
        put(v, n * sizeof(double));
    }
    const std::string& bytes() const { return bytes_; }

private:
    void put(const void* p, std::size_t n) {
        if (n > 0)
            bytes_.append(static_cast<const char*>(p), n);
    }
    std::string bytes_;
};

// Reads what MessageOut wrote. A read past the end gives zeros and empty strings and makes
// ok() false, so a cut message is found once, at the end of decoding.
class MessageIn {
public:
    explicit MessageIn(const std::string& bytes)
        : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}

    std::int64_t i64() {
        std::int64_t v = 0;
        get(&v, sizeof v);
        return v;
    }
    double f64() {
        double v = 0;
        get(&v, sizeof v);
        return v;
    }
    std::string str() {
        const std::int64_t n = length(1);
        std::string s(p_, static_cast<std::size_t>(n));
        p_ += n;
        return s;
    }
    std::vector<double> f64s() {
        const std::int64_t n = length(sizeof(double));
        std::vector<double> v(static_cast<std::size_t>(n));
        get(v.data(), static_cast<std::size_t>(n) * sizeof(double));
        return v;
    }
    bool ok() const { return ok_; }

private:
    // A length that the rest of the message can hold; 0 (and not ok) otherwise.
    std::int64_t length(std::size_t item) {
        const std::int64_t n = i64();
        if (n < 0 || static_cast<std::uint64_t>(n) > static_cast<std::size_t>(end_ - p_) / item) {
            ok_ = false;
            return 0;
        }
        return n;
    }
    void get(void* to, std::size_t n) {
        if (n == 0)
            return;
        if (static_cast<std::size_t>(end_ - p_) < n) {
            ok_ = false;
            std::memset(to, 0, n);
            p_ = end_;
            return;
        }
        std::memcpy(to, p_, n);
        p_ += n;
    }
    const char* p_;
    const char* end_;
    bool ok_ = true;
};
