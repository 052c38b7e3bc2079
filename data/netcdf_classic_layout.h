#pragma once

#include <cstdint>
#include <string>

// The bytes of a file, or of a file image in memory.
class ByteSource {
public:
    virtual std::int64_t size() const = 0;
    // Copies up to `n` bytes from `offset` to `to`; returns how many (fewer at the end).
    virtual std::int64_t read(std::int64_t offset, void* to, std::int64_t n) const = 0;

protected:
    ~ByteSource() = default;
};

// A file image in memory.
class MemoryBytes final : public ByteSource {
public:
    MemoryBytes(const void* data, std::int64_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    std::int64_t size() const override { return size_; }
    std::int64_t read(std::int64_t offset, void* to, std::int64_t n) const override;

private:
    const unsigned char* data_;
    std::int64_t size_;
};

// A file, read with pread().
class FileBytes final : public ByteSource {
public:
    FileBytes(int fd, std::int64_t size) : fd_(fd), size_(size) {}
    std::int64_t size() const override { return size_; }
    std::int64_t read(std::int64_t offset, void* to, std::int64_t n) const override;

private:
    int fd_;
    std::int64_t size_;
};

// For a file of the classic formats (CDF-1, CDF-2 and CDF-5: the signatures CDF\x01, \x02 and
// \x05), checks from its header that the stored values of every variable lie within `bytes`.
// The NetCDF library reads what lies past the end of a cut file as zeros without a word, so a
// truncated file is found here, before anything is read. Returns an empty string when all is
// in place, or the reason ("is truncated: ...", "has a damaged header").
std::string check_classic_layout(const ByteSource& bytes);
