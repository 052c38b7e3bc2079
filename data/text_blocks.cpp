#include "text_blocks.h"

#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Records the start of each line after a '\n' in [p, stop), at most `room` of them, into
// starts[1...], and returns how many were recorded. Grid lines are short, so sixteen bytes are
// tested at a time rather than calling memchr once per line.
std::int64_t find_line_starts(const char* p, const char* stop, std::int64_t room,
                              const char** starts) {
    std::int64_t n = 0;
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n');
    while (n < room && stop - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, newline)));
        while (mask && n < room) {
            starts[++n] = p + __builtin_ctz(mask) + 1;
            mask &= mask - 1;
        }
        if (n == room)
            return n;
        p += 16;
    }
#endif
    while (n < room) {
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(stop - p));
        if (!nl)
            return n;
        p = static_cast<const char*>(nl) + 1;
        starts[++n] = p;
    }
    return n;
}

} // namespace

TextBlocks::TextBlocks(std::FILE* file, std::size_t block_bytes)
    : file_(file), capacity_(block_bytes) {
    buffer_ = static_cast<char*>(std::malloc(capacity_));
    if (!buffer_)
        failed_ = true;
}

TextBlocks::~TextBlocks() {
    std::free(buffer_);
}

bool TextBlocks::fill() {
    if (failed_)
        return false;
    if (begin_ > 0) {
        std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) {
        // One line fills the whole buffer: make room for the rest of it.
        char* grown = static_cast<char*>(std::realloc(buffer_, capacity_ * 2));
        if (!grown) {
            failed_ = true;
            return false;
        }
        buffer_ = grown;
        capacity_ *= 2;
    }
    const std::size_t got = std::fread(buffer_ + end_, 1, capacity_ - end_, file_);
    end_ += got;
    if (got == 0) {
        if (std::ferror(file_)) {
            failed_ = true;
            return false;
        }
        at_eof_ = true;
    }
    return true;
}

std::int64_t TextBlocks::take_lines(std::int64_t max_lines, const char** starts) {
    if (failed_)
        return -1;
    // Keep the buffer at least half full so that runs stay long.
    if (!at_eof_ && end_ - begin_ < capacity_ / 2 && !fill())
        return -1;
    for (;;) {
        const char* p = buffer_ + begin_;
        const char* const stop = buffer_ + end_;
        starts[0] = p;
        std::int64_t n = find_line_starts(p, stop, max_lines, starts);
        if (n > 0)
            p = starts[n];
        if (n == 0) {
            if (!at_eof_) {
                if (!fill())
                    return -1;
                continue;
            }
            if (p == stop)
                return 0;
            starts[1] = stop; // the final line has no '\n'
            n = 1;
            p = stop;
        }
        consumed_ += p - (buffer_ + begin_);
        begin_ = static_cast<std::size_t>(p - buffer_);
        return n;
    }
}
