#pragma once

#include <cstdint>

// A private mapping of the first bytes of an open regular file. Reading it takes the pages
// straight from the page cache, so nothing is copied; a page written to becomes a private copy
// and the file itself never changes. Never throws.
class FileMapping {
public:
    FileMapping() = default;
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // Maps the first `size` bytes of `fd`, readable and, when `writable`, privately writable.
    // `populate` sets the page tables up front rather than one fault at a time. False when
    // `size` is not positive or the mapping fails.
    bool map(int fd, std::int64_t size, bool writable, bool populate);

    // Gives back the pages that lie wholly before `offset`; they must not be read again. Keeping
    // them would count every page read so far in the process's resident memory.
    void release_before(std::int64_t offset);

    void unmap();

    char* data() const { return data_; }
    std::int64_t size() const { return size_; }

private:
    char* data_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t released_ = 0; // bytes from the start already given back (whole pages)
};
