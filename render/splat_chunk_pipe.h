#pragma once

#include "splat_emitters.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// Draws each full chunk at once on the calling thread, between fills.
class SerialChunks final : public ChunkSink {
public:
    explicit SerialChunks(ChunkDrawer& drawer) : drawer_(drawer) {}
    SplatChunk* full(SplatChunk* c) override;

    // Time spent outside the draw calls since construction: computing and storing vertices.
    double fill_seconds() const;

private:
    ChunkDrawer& drawer_;
    std::chrono::steady_clock::duration fill_{};
    std::chrono::steady_clock::time_point mark_ = std::chrono::steady_clock::now();
};

// Hands chunks from the thread that fills them to the GL thread that draws them, with two
// chunks in flight: one is filled while the other is drawn. Chunks are drawn in the order they
// were filled, so the GL calls are those of the serial path.
class ChunkPipe final : public ChunkSink {
public:
    explicit ChunkPipe(SplatChunk* spare) { free_[nfree_++] = spare; }

    // Filling thread: queues c and waits for an empty chunk to fill next.
    SplatChunk* full(SplatChunk* c) override;
    // Filling thread: no more chunks will come.
    void close();

    // GL thread: the next filled chunk, or null once the pipe is closed and drained.
    SplatChunk* take();
    // GL thread: c has been drawn and may be filled again.
    void give_back(SplatChunk* c);

    double wait_seconds() const { return std::chrono::duration<double>(taker_wait_).count(); }
    double filler_wait_seconds() const {
        return std::chrono::duration<double>(filler_wait_).count();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    SplatChunk* ready_[2] = {};
    int first_ready_ = 0;
    int nready_ = 0;
    SplatChunk* free_[2] = {};
    int nfree_ = 0;
    bool closed_ = false;
    std::chrono::steady_clock::duration taker_wait_{};
    std::chrono::steady_clock::duration filler_wait_{};
};
