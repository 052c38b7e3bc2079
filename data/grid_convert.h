#pragma once

#include "text_blocks.h"

#include <cstdint>
#include <cstdio>
#include <functional>

enum class ConvertStatus {
    done,
    short_text,
    read_failed,
    write_failed,
    no_memory,
    line_too_long, // a line's needed fields do not fit the text's line bound
    cancelled
};

struct ConvertResult {
    ConvertStatus status = ConvertStatus::done;
    std::int64_t lines = 0; // data lines converted
};

// Converts `lines` data lines of `text` into float32 samples (little-endian, ncomp per line)
// written to `out` in large blocks, in order. A mapped text is split into pieces at line starts
// that `threads` threads (0: one per hardware thread) scan at once; a stream is read a run of
// lines at a time, each run scanned on all threads. The bytes written are the same either way
// and for any thread count. `progress` is called on the calling thread with the bytes of text
// consumed after each piece or run and stops the conversion when it returns false.
ConvertResult convert_grid_lines(TextBlocks& text, std::FILE& out, std::int64_t lines, int ncomp,
                                 int threads, const std::function<bool(std::int64_t)>& progress);
