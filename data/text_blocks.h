#pragma once

#include "file_mapping.h"

#include <cstdint>
#include <cstdio>
#include <functional>

// Reads a text stream in large blocks and hands it out as runs of lines. A line is everything up
// to and including its '\n'; text after the last '\n' is a final line.
//
// The memory for a line is bounded whatever its length. A line that does not fit in the buffer
// is cut: the line rule says how much of its start decides what the line means, that part is
// kept, ended by a '\n' written over the byte that follows it, and the rest of the line is read
// and dropped. The buffer grows only while the deciding part is still unfinished, and never past
// the rule's bound. Never throws.
class TextBlocks {
public:
    static constexpr std::size_t default_block_bytes = std::size_t{8} << 20;

    // Bytes at the start of a line that decide it, given the text read so far [begin, end),
    // which holds no '\n'. The byte at the returned offset must lie in that text and must not
    // change the line's meaning when it becomes the '\n' that ends it (white space or a NUL
    // where the deciding part ends). Returns -1 while the text does not decide it yet.
    using LineRule = std::function<std::int64_t(const char* begin, const char* end)>;

    enum class Failure { none, read, memory, line_too_long, stopped };

    explicit TextBlocks(std::FILE* file, std::size_t block_bytes = default_block_bytes);
    ~TextBlocks();
    TextBlocks(const TextBlocks&) = delete;
    TextBlocks& operator=(const TextBlocks&) = delete;

    // Maps the rest of the stream when it is a regular file of which nothing has been read yet;
    // false (and the stream is read as before) otherwise or when mapping fails.
    bool map_file();

    // Sets the rule for lines longer than the buffer. A line whose deciding part is longer than
    // `bound` bytes stops the text with Failure::line_too_long. Without a rule, any line longer
    // than the block stops it.
    void set_line_rule(LineRule rule, std::int64_t bound);

    // Called with consumed() after each block of a cut line's rest is dropped, so that a long
    // or endless tail still reports progress; returning false stops the text with
    // Failure::stopped. Null for none.
    void set_drop_progress(std::function<bool(std::int64_t)> progress) {
        drop_progress_ = std::move(progress);
    }

    // Takes up to max_lines lines. starts must hold max_lines + 1 pointers; line i is
    // [starts[i], starts[i + 1]). The pointers stay valid until the next call. Returns the
    // number of lines taken: 0 at the end of the text, -1 on a failure (see failure()).
    std::int64_t take_lines(std::int64_t max_lines, const char** starts);

    // Bytes of the stream handed out or dropped so far.
    std::int64_t consumed() const { return consumed_; }

    // Lines handed out so far.
    std::int64_t lines_taken() const { return lines_taken_; }

    Failure failure() const { return failure_; }

    // The mapped text, so that readers of the lines handed out can guard against the file
    // shrinking under them (see read_mapped_guarded); null and 0 when the text is not mapped.
    const char* mapped_text() const { return mapped_ ? mapping_.data() : nullptr; }
    std::size_t mapped_bytes() const {
        return mapped_ ? static_cast<std::size_t>(mapping_.size()) : 0;
    }

    // Bytes held for the text: the block size, unless a line's deciding part needed more.
    std::size_t buffer_bytes() const { return capacity_; }

    // For readers that split the mapped text themselves: the text not handed out yet, when the
    // file is mapped and no part of a cut line is still to come. A line starting at s in it is
    // taken whole when its '\n' lies in [s, s + window), or when it is the final line and ends
    // before s + window; any other line is cut by the line rule, so it is left to take_lines().
    // False when the text is not mapped, has failed or is inside a cut line.
    bool untaken_mapped(const char*& begin, const char*& end, std::size_t& window) const;

    // Marks the mapped text up to `to`, the start of a line in untaken_mapped(), as handed out
    // as `lines` lines, and gives back the pages wholly before `release_to`, which must not be
    // read again (at most `to`; the readers may still be inside the text before it).
    void skip_mapped(const char* to, std::int64_t lines, const char* release_to);

private:
    bool fill();
    bool cut_or_grow();
    std::int64_t take_mapped_lines(std::int64_t max_lines, const char** starts);
    bool drop_mapped();
    bool cut_or_grow_mapped(std::size_t have);

    std::FILE* file_;
    char* buffer_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool at_eof_ = false;
    bool dropping_ = false; // the stream is inside the dropped rest of a cut line
    Failure failure_ = Failure::none;
    std::int64_t consumed_ = 0;
    std::int64_t lines_taken_ = 0;
    LineRule rule_;
    std::int64_t bound_ = 0;
    std::function<bool(std::int64_t)> drop_progress_;

    // The mapped text: begin_ is then an offset into it, and capacity_ the most that is looked
    // at for one line before the line rule is asked.
    FileMapping mapping_;
    bool mapped_ = false;
    bool cut_pending_ = false; // a cut line ending at kept_end_ is still to be handed out
    std::size_t kept_end_ = 0;
    std::size_t drop_from_ = 0; // where the dropped rest of a cut line continues
};
