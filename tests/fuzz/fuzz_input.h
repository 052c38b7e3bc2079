#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Reads typed values from the front of a fuzz input; past its end every value is zero.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    template <class T> T raw() {
        T v{};
        unsigned char b[sizeof(T)] = {};
        for (unsigned char& c : b)
            c = byte();
        std::memcpy(&v, b, sizeof(T));
        return v;
    }

    // A value in [lo, hi] from one byte, so that inputs stay in a useful range.
    double fraction(double lo, double hi) { return lo + (hi - lo) * byte() / 255.0; }

    bool empty() const { return pos_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};
