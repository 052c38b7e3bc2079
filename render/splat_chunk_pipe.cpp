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

SplatChunk* ChunkPipe::full(SplatChunk* c) {
    std::unique_lock lock(m_);
    ready_[(first_ready_ + nready_++) % 2] = c;
    cv_.notify_all();
    const auto start = Clock::now();
    cv_.wait(lock, [&] { return nfree_ > 0; });
    filler_wait_ += Clock::now() - start;
    return free_[--nfree_];
}

void ChunkPipe::close() {
    std::lock_guard lock(m_);
    closed_ = true;
    cv_.notify_all();
}

SplatChunk* ChunkPipe::take() {
    std::unique_lock lock(m_);
    const auto start = Clock::now();
    cv_.wait(lock, [&] { return nready_ > 0 || closed_; });
    taker_wait_ += Clock::now() - start;
    if (nready_ == 0)
        return nullptr;
    SplatChunk* c = ready_[first_ready_];
    first_ready_ = (first_ready_ + 1) % 2;
    --nready_;
    return c;
}

void ChunkPipe::give_back(SplatChunk* c) {
    c->used = 0;
    std::lock_guard lock(m_);
    free_[nfree_++] = c;
    cv_.notify_all();
}
