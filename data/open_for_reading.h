#pragma once

#include <cstdio>

// Opens `path` for reading as a stdio stream without hanging on a FIFO. A plain open() of a FIFO
// waits until something opens it for writing, which for a FIFO nobody writes to is forever. A
// FIFO is given up to `writer_wait_ms` for a writer to show up (one already waiting in its own
// open() counts at once); without one the open fails. A negative wait refuses every FIFO.
// Returns null when the path cannot be opened.
std::FILE* open_for_reading(const char* path, int writer_wait_ms);
