#include "reader_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// Present when a sanitizer is linked in (tests, fuzzing); weak, so plain builds do without.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

// Exit status of a helper that a sanitizer stopped.
constexpr int sanitizer_exit_status = 70;

void end_helper_quietly() {
    _exit(sanitizer_exit_status);
}

// A message: type and payload length (two 64-bit numbers), then the payload.
constexpr std::size_t header_bytes = 16;
// A longer message is taken for a broken stream.
constexpr std::int64_t max_payload = std::int64_t{1} << 30;

bool send_all(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        // MSG_NOSIGNAL: a helper that has died must not end the caller with SIGPIPE.
        const ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

} // namespace

ReaderProcess::~ReaderProcess() {
    stop();
}

void ReaderProcess::release() {
    if (socket_ >= 0)
        close(socket_);
    socket_ = -1;
    if (blocks_)
        munmap(blocks_, 2 * block_bytes_);
    blocks_ = nullptr;
    inbox_.clear();
}

bool ReaderProcess::start(std::size_t block_bytes, int (*main)(ReaderProcess&, void*),
                          void* context) {
    stop();
    block_bytes_ = block_bytes;
    blocks_ =
        mmap(nullptr, 2 * block_bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (blocks_ == MAP_FAILED) {
        blocks_ = nullptr;
        return false;
    }
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        release();
        return false;
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) {
        close(sockets[0]);
        close(sockets[1]);
        release();
        return false;
    }
    if (pid_ == 0) {
        // The helper ends with the caller, and leaves no exit handlers or stdio buffers of the
        // caller's to run or flush (hence _exit).
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(1);
        // A fault ends the helper plainly: the caller's crash handlers (a sanitizer's, a
        // fuzzer's, the mapped-read guard) are not for it.
        for (const int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
            signal(s, SIG_DFL);
        if (__sanitizer_set_death_callback)
            __sanitizer_set_death_callback(end_helper_quietly);
        // What the library says about a damaged file is not for the person: the import says
        // it in its own words. HALVORN_READER_STDERR keeps it, for debugging.
        if (!std::getenv("HALVORN_READER_STDERR")) {
            const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
            if (null >= 0) {
                dup2(null, STDERR_FILENO);
                close(null);
            }
        }
        close(sockets[0]);
        socket_ = sockets[1];
        pid_ = -1;
        _exit(main(*this, context));
    }
    close(sockets[1]);
    socket_ = sockets[0];
    return true;
}

bool ReaderProcess::send(std::int64_t type, const std::string& payload) {
    if (socket_ < 0)
        return false;
    char header[header_bytes];
    const auto length = static_cast<std::int64_t>(payload.size());
    std::memcpy(header, &type, 8);
    std::memcpy(header + 8, &length, 8);
    return send_all(socket_, header, header_bytes) &&
           send_all(socket_, payload.data(), payload.size());
}

ReaderProcess::Received ReaderProcess::receive(std::int64_t& type, std::string& payload,
                                               int timeout_ms) {
    for (;;) {
        if (inbox_.size() >= header_bytes) {
            std::int64_t length = 0;
            std::memcpy(&type, inbox_.data(), 8);
            std::memcpy(&length, inbox_.data() + 8, 8);
            if (length < 0 || length > max_payload)
                return Received::closed;
            if (inbox_.size() >= header_bytes + static_cast<std::size_t>(length)) {
                payload.assign(inbox_, header_bytes, static_cast<std::size_t>(length));
                inbox_.erase(0, header_bytes + static_cast<std::size_t>(length));
                return Received::message;
            }
        }
        if (socket_ < 0)
            return Received::closed;
        pollfd p{socket_, POLLIN, 0};
        const int ready = poll(&p, 1, timeout_ms);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return Received::timeout;
        char buffer[1 << 16];
        const ssize_t n = ready > 0 ? recv(socket_, buffer, sizeof buffer, 0) : -1;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Received::closed;
        inbox_.append(buffer, static_cast<std::size_t>(n));
    }
}

void ReaderProcess::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        wait();
    }
    release();
}

void ReaderProcess::kill_now() {
    if (pid_ > 0)
        kill(pid_, SIGKILL);
    release();
}

std::string ReaderProcess::wait() {
    if (pid_ <= 0)
        return {};
    int status = 0;
    pid_t r;
    do
        r = waitpid(pid_, &status, 0);
    while (r < 0 && errno == EINTR);
    pid_ = -1;
    if (r < 0)
        return "could not be waited for";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    if (WIFSIGNALED(status))
        return "ended with signal " + std::to_string(WTERMSIG(status));
    return "ended with status " + std::to_string(WEXITSTATUS(status));
}
