#include "text_blocks.h"

#include "mapped_read_guard.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
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
    : file_(file), capacity_(block_bytes > 0 ? block_bytes : 1),
      bound_(static_cast<std::int64_t>(capacity_)) {}

TextBlocks::~TextBlocks() {
    if (!mapped_)
        std::free(buffer_);
}

void TextBlocks::set_line_rule(LineRule rule, std::int64_t bound) {
    rule_ = std::move(rule);
    bound_ = bound;
}

// Moves the text left to the front of the buffer and reads more behind it, first dropping what
// is left of a cut line.
bool TextBlocks::fill() {
    if (failure_ != Failure::none)
        return false;
    // The buffer is taken on the first read: a mapped file never needs it, and a large block
    // taken and given back would make later allocations of that size slower to come by.
    if (!buffer_) {
        buffer_ = static_cast<char*>(std::malloc(capacity_));
        if (!buffer_) {
            failure_ = Failure::memory;
            return false;
        }
    }
    if (begin_ > 0) {
        std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    // The free end of the buffer serves as scratch space for the dropped bytes. When there is
    // none, the kept part of the cut line is taken first.
    while (dropping_ && end_ < capacity_) {
        char* const free = buffer_ + end_;
        const std::size_t got = std::fread(free, 1, capacity_ - end_, file_);
        if (got == 0)
            break;
        const char* nl = static_cast<const char*>(std::memchr(free, '\n', got));
        const std::size_t dropped = nl ? static_cast<std::size_t>(nl + 1 - free) : got;
        consumed_ += static_cast<std::int64_t>(dropped);
        if (nl) {
            std::memmove(free, nl + 1, got - dropped);
            end_ += got - dropped;
            dropping_ = false;
        } else if (drop_progress_ && !drop_progress_(consumed_)) {
            failure_ = Failure::stopped;
            return false;
        }
    }
    const std::size_t got =
        end_ < capacity_ ? std::fread(buffer_ + end_, 1, capacity_ - end_, file_) : 0;
    end_ += got;
    if (got == 0 && end_ < capacity_) {
        if (std::ferror(file_)) {
            failure_ = Failure::read;
            return false;
        }
        at_eof_ = true;
        dropping_ = false;
    }
    return true;
}

// The buffer holds one unfinished line and nothing else: keep the part of it that decides it
// and drop the rest, or make room for more of it while it is undecided and within the bound.
bool TextBlocks::cut_or_grow() {
    const std::int64_t have = static_cast<std::int64_t>(end_);
    std::int64_t keep = rule_ ? rule_(buffer_, buffer_ + end_) : -1;
    if (keep >= have)
        keep = -1; // the byte that ends the kept part must already be in the buffer
    if (keep > bound_ || (keep < 0 && have > bound_)) {
        failure_ = Failure::line_too_long;
        return false;
    }
    if (keep >= 0) {
        consumed_ += have - keep - 1;
        buffer_[keep] = '\n';
        end_ = static_cast<std::size_t>(keep) + 1;
        dropping_ = true;
        return true;
    }
    // Room for the deciding part to reach `bound_` bytes and the byte that ends it.
    const std::size_t grown =
        static_cast<std::size_t>(std::min<std::int64_t>(have * 2, bound_ + 1));
    char* p = static_cast<char*>(std::realloc(buffer_, grown));
    if (!p) {
        failure_ = Failure::memory;
        return false;
    }
    buffer_ = p;
    capacity_ = grown;
    return true;
}

std::int64_t TextBlocks::take_lines(std::int64_t max_lines, const char** starts) {
    if (failure_ != Failure::none)
        return -1;
    if (mapped_) {
        // A file shortened meanwhile fails as a read error would.
        std::int64_t got = -1;
        auto job = [&] { got = take_mapped_lines(max_lines, starts); };
        if (!read_mapped_guarded(mapping_.data(), static_cast<std::size_t>(mapping_.size()), job)) {
            failure_ = Failure::read;
            return -1;
        }
        return got;
    }
    // Keep the buffer at least half full so that runs stay long.
    if (!at_eof_ && (!buffer_ || end_ - begin_ < capacity_ / 2) && !fill())
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
                if (begin_ == 0 && end_ == capacity_) {
                    if (!cut_or_grow())
                        return -1;
                    // A cut line is handed out before its rest is dropped: the caller may
                    // refuse it without reading further (a header on an endless stream).
                    if (dropping_)
                        continue;
                }
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
        lines_taken_ += n;
        return n;
    }
}

bool TextBlocks::map_file() {
    if (mapped_ || consumed_ > 0 || end_ > 0 || failure_ != Failure::none)
        return false;
    const int fd = fileno(file_);
    struct stat st {};
    // Nothing may have been read through the stream yet: its buffer would hold text that the
    // mapping starts before.
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
        lseek(fd, 0, SEEK_CUR) != 0 || std::ftell(file_) != 0)
        return false;
    if (!mapping_.map(fd, st.st_size, true, false))
        return false;
    mapped_ = true;
    std::free(buffer_);
    buffer_ = mapping_.data();
    begin_ = 0;
    end_ = static_cast<std::size_t>(st.st_size);
    return true;
}

// Skips the rest of a cut line in steps of the block size, reporting progress after each.
bool TextBlocks::drop_mapped() {
    while (dropping_) {
        if (drop_from_ >= end_) {
            begin_ = end_;
            dropping_ = false;
            break;
        }
        const std::size_t len = std::min(capacity_, end_ - drop_from_);
        const char* const from = buffer_ + drop_from_;
        const char* nl = static_cast<const char*>(std::memchr(from, '\n', len));
        const std::size_t dropped = nl ? static_cast<std::size_t>(nl + 1 - from) : len;
        consumed_ += static_cast<std::int64_t>(dropped);
        drop_from_ += dropped;
        if (nl) {
            begin_ = drop_from_;
            dropping_ = false;
        } else if (drop_progress_ && !drop_progress_(consumed_)) {
            failure_ = Failure::stopped;
            return false;
        }
    }
    return true;
}

// cut_or_grow() for the mapped text: the line at begin_ has no '\n' in its first `have`
// (= capacity_) bytes. Growing only widens the part looked at.
bool TextBlocks::cut_or_grow_mapped(std::size_t have_bytes) {
    const std::int64_t have = static_cast<std::int64_t>(have_bytes);
    char* const line = buffer_ + begin_;
    std::int64_t keep = rule_ ? rule_(line, line + have) : -1;
    if (keep >= have)
        keep = -1;
    if (keep > bound_ || (keep < 0 && have > bound_)) {
        failure_ = Failure::line_too_long;
        return false;
    }
    if (keep >= 0) {
        consumed_ += have - keep - 1;
        line[keep] = '\n'; // a private copy of the page: the file is not changed
        kept_end_ = begin_ + static_cast<std::size_t>(keep) + 1;
        drop_from_ = begin_ + have_bytes;
        dropping_ = true;
        cut_pending_ = true;
        return true;
    }
    capacity_ = static_cast<std::size_t>(std::min<std::int64_t>(have * 2, bound_ + 1));
    return true;
}

std::int64_t TextBlocks::take_mapped_lines(std::int64_t max_lines, const char** starts) {
    // The lines handed out last time are done with.
    mapping_.release_before(static_cast<std::int64_t>(begin_));
    for (;;) {
        if (dropping_ && !cut_pending_ && !drop_mapped())
            return -1;
        // Each line's '\n' is looked for within capacity_ bytes of its start, as in a buffer
        // of that size: the window moves on from the start of the last line found.
        const auto window_end = [&](const char* line) {
            return buffer_ +
                   (cut_pending_
                        ? kept_end_
                        : std::min(end_, static_cast<std::size_t>(line - buffer_) + capacity_));
        };
        const char* p = buffer_ + begin_;
        starts[0] = p;
        std::int64_t n = 0;
        while (n < max_lines) {
            const std::int64_t got =
                find_line_starts(starts[n], window_end(starts[n]), max_lines - n, starts + n);
            if (got == 0)
                break;
            n += got;
        }
        if (n > 0)
            p = starts[n];
        if (n == 0) {
            const char* const stop = window_end(p);
            if (!cut_pending_ && static_cast<std::size_t>(stop - p) == capacity_) {
                // No '\n' within the part looked at (as with a full buffer, also when the
                // file happens to end right there).
                if (!cut_or_grow_mapped(capacity_))
                    return -1;
                continue;
            }
            if (p == stop)
                return 0;
            starts[1] = stop; // the final line has no '\n'
            n = 1;
            p = stop;
        }
        if (cut_pending_ && p == buffer_ + kept_end_)
            cut_pending_ = false; // its rest is dropped on the next call
        consumed_ += p - (buffer_ + begin_);
        begin_ = static_cast<std::size_t>(p - buffer_);
        lines_taken_ += n;
        return n;
    }
}

bool TextBlocks::untaken_mapped(const char*& begin, const char*& end, std::size_t& window) const {
    if (!mapped_ || failure_ != Failure::none || dropping_ || cut_pending_)
        return false;
    begin = buffer_ + begin_;
    end = buffer_ + end_;
    window = capacity_;
    return true;
}

void TextBlocks::skip_mapped(const char* to, std::int64_t lines, const char* release_to) {
    const std::size_t offset = static_cast<std::size_t>(to - buffer_);
    consumed_ += static_cast<std::int64_t>(offset - begin_);
    begin_ = offset;
    lines_taken_ += lines;
    mapping_.release_before(release_to - buffer_);
}
