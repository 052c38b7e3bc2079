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
// written to `out` in large blocks. Runs of lines are scanned on `threads` threads (0: one per
// hardware thread); the bytes written are the same for any count. `progress` is called with
// the bytes of text consumed after each run and stops the conversion when it returns false.
ConvertResult convert_grid_lines(TextBlocks& text, std::FILE& out, std::int64_t lines, int ncomp,
                                 int threads, const std::function<bool(std::int64_t)>& progress);
