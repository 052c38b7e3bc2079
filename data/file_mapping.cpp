#include "file_mapping.h"

#include <cstddef>
#include <sys/mman.h>
#include <unistd.h>

namespace {

std::int64_t page_bytes() {
    static const std::int64_t page = [] {
        const long p = sysconf(_SC_PAGESIZE);
        return p > 0 ? static_cast<std::int64_t>(p) : std::int64_t{4096};
    }();
    return page;
}

} // namespace

FileMapping::~FileMapping() {
    unmap();
}

bool FileMapping::map(int fd, std::int64_t size, bool writable, bool populate) {
    unmap();
    if (size <= 0 || static_cast<std::uint64_t>(size) > SIZE_MAX)
        return false;
    // MAP_POPULATE on a writable private mapping would copy every page (it faults them in for
    // writing), so it is only asked for a read-only one.
    const int prot = PROT_READ | (writable ? PROT_WRITE : 0);
    const int flags = MAP_PRIVATE | (populate && !writable ? MAP_POPULATE : 0);
    void* p = mmap(nullptr, static_cast<std::size_t>(size), prot, flags, fd, 0);
    if (p == MAP_FAILED)
        return false;
    data_ = static_cast<char*>(p);
    size_ = size;
    released_ = 0;
    madvise(p, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
    return true;
}

void FileMapping::release_before(std::int64_t offset) {
    if (!data_)
        return;
    if (offset > size_)
        offset = size_;
    const std::int64_t end = offset / page_bytes() * page_bytes();
    if (end <= released_)
        return;
    munmap(data_ + released_, static_cast<std::size_t>(end - released_));
    released_ = end;
}

void FileMapping::unmap() {
    if (data_ && released_ < size_)
        munmap(data_ + released_, static_cast<std::size_t>(size_ - released_));
    data_ = nullptr;
    size_ = 0;
    released_ = 0;
}
