#include "splat_chunk_pipe.h"

using Clock = std::chrono::steady_clock;

SplatChunk* SerialChunks::full(SplatChunk* c) {
    fill_ += Clock::now() - mark_;
    drawer_.draw(*c);
    c->used = 0;
    mark_ = Clock::now();
    return c;
}

double SerialChunks::fill_seconds() const {
    return std::chrono::duration<double>(fill_ + (Clock::now() - mark_)).count();
}
