#pragma once

#include <cstdint>
#include <cstdio>

// Reads a text stream in large blocks and hands it out as runs of whole lines. A line is
// everything up to and including its '\n'; text after the last '\n' is a final line. Lines of
// any length are kept whole (the buffer grows to hold them). Never throws.
class TextBlocks {
public:
    explicit TextBlocks(std::FILE* file, std::size_t block_bytes = std::size_t{8} << 20);
    ~TextBlocks();
    TextBlocks(const TextBlocks&) = delete;
    TextBlocks& operator=(const TextBlocks&) = delete;

    // Takes up to max_lines lines. starts must hold max_lines + 1 pointers; line i is
    // [starts[i], starts[i + 1]). The pointers stay valid until the next call. Returns the
    // number of lines taken: 0 at the end of the text, -1 when memory or reading fails.
    std::int64_t take_lines(std::int64_t max_lines, const char** starts);

    // Bytes of the stream handed out so far.
    std::int64_t consumed() const { return consumed_; }

private:
    bool fill();

    std::FILE* file_;
    char* buffer_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool at_eof_ = false;
    bool failed_ = false;
    std::int64_t consumed_ = 0;
};
