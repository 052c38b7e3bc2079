#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <sys/stat.h>

// How reads from a pipe (a FIFO, a socket or a terminal) wait for their data. Without
// `waiting` they block until data comes, as reads do. With it, each read waits at most
// `interval_ms` at a time and then calls `waiting` with the bytes read from the stream so far,
// on the thread that reads; when that returns false the read gives up and the stream reports
// a read error (errno ECANCELED). A user-interface thread that reads a pipe whose writer stays
// silent keeps its progress window painted and its Cancel answered this way.
struct PipeWait {
    std::function<bool(std::int64_t bytes_read)> waiting;
    int interval_ms = 100;
};

// Opens `path` for reading as a stdio stream without hanging on a FIFO. A plain open() of a FIFO
// waits until something opens it for writing, which for a FIFO nobody writes to is forever. A
// FIFO is given up to `writer_wait_ms` for a writer to show up (one already waiting in its own
// open() counts at once); without one the open fails. A negative wait refuses every FIFO.
// `info`, when given, receives what fstat() says of the file opened. Returns null when the
// path cannot be opened.
std::FILE* open_for_reading(const char* path, int writer_wait_ms, const PipeWait& wait = {},
                            struct stat* info = nullptr);
