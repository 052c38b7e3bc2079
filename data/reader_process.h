#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

// A helper process that runs one function of this program, for work in a library that may
// crash or hang on bad input: a fault there ends the helper, never the caller. The two sides
// talk through typed messages over a socket and share two blocks of memory for bulk data. The
// helper's standard error goes to /dev/null unless HALVORN_READER_STDERR is set. Never throws.
class ReaderProcess {
public:
    ReaderProcess() = default;
    // Kills a helper that still runs and waits for it.
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess&) = delete;
    ReaderProcess& operator=(const ReaderProcess&) = delete;

    // Maps the shared blocks, then forks; the helper runs main(*this, context) and ends with
    // its result as exit status, never returning here. False when it cannot be started.
    bool start(std::size_t block_bytes, int (*main)(ReaderProcess&, void*), void* context);

    // Either side: sends one message; false when the other side has gone.
    bool send(std::int64_t type, const std::string& payload);

    enum class Received { message, timeout, closed };
    // Either side: waits up to `timeout_ms` (negative: without end) for the next message.
    Received receive(std::int64_t& type, std::string& payload, int timeout_ms);

    // Shared block 0 or 1, of block_bytes() bytes.
    void* block(int i) const { return static_cast<char*>(blocks_) + i * block_bytes_; }
    std::size_t block_bytes() const { return block_bytes_; }

    // Caller only: kills the helper (if it still runs) and waits for it.
    void stop();
    // Caller only: kills the helper (if it still runs) and gives back the shared blocks, without
    // waiting while the system takes the helper down; stop() or the end of the object waits.
    void kill_now();
    // Caller only: waits for the helper to end; an empty string when it exited with status 0,
    // otherwise how it ended ("ended with signal 11").
    std::string wait();

private:
    void release();

    pid_t pid_ = -1;
    int socket_ = -1;
    void* blocks_ = nullptr;
    std::size_t block_bytes_ = 0;
    std::string inbox_; // bytes received but not yet taken as a message
};
