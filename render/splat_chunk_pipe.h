#pragma once

#include "splat_emitters.h"

#include <chrono>

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
