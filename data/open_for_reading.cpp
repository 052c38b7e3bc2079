#include "open_for_reading.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <unistd.h>

namespace {

// Waits for a writer on a FIFO opened without blocking. On Linux a read from a FIFO without a
// writer returns end-of-file at once, and poll() wakes when one has written or come and gone.
// Returns false when no writer came; `first` receives a byte that had to be read to find out.
bool wait_for_writer(int fd, int wait_ms, int& first) {
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, wait_ms) < 0 && errno == EINTR) {
    }
    unsigned char c;
    ssize_t n;
    while ((n = read(fd, &c, 1)) < 0 && errno == EINTR) {
    }
    if (n == 1)
        first = c;
    // EAGAIN: a writer holds the FIFO open but has not written yet.
    return n == 1 || (n < 0 && errno == EAGAIN);
}

// A pipe read through stdio in steps of at most `interval_ms` (see PipeWait).
struct WaitingPipe {
    int fd;
    PipeWait wait;
    std::int64_t bytes_read = 0;
};

ssize_t read_waiting(void* cookie, char* buffer, std::size_t size) {
    auto& pipe = *static_cast<WaitingPipe*>(cookie);
    for (;;) {
        pollfd p{pipe.fd, POLLIN, 0};
        const int ready = poll(&p, 1, pipe.wait.interval_ms);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            if (!pipe.wait.waiting(pipe.bytes_read)) {
                errno = ECANCELED;
                return -1;
            }
            continue;
        }
        const ssize_t n = read(pipe.fd, buffer, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n > 0)
            pipe.bytes_read += n;
        return n;
    }
}

int close_waiting(void* cookie) {
    auto* pipe = static_cast<WaitingPipe*>(cookie);
    const int result = close(pipe->fd);
    delete pipe;
    return result;
}

std::FILE* open_waiting(int fd, const PipeWait& wait) {
    auto* pipe = new (std::nothrow) WaitingPipe{fd, wait};
    if (!pipe)
        return nullptr;
    cookie_io_functions_t io{};
    io.read = read_waiting;
    io.close = close_waiting;
    std::FILE* f = fopencookie(pipe, "r", io);
    if (!f)
        delete pipe;
    return f;
}

} // namespace

std::FILE* open_for_reading(const char* path, int writer_wait_ms, const PipeWait& wait,
                            struct stat* info) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    int first = EOF;
    const bool ok = fstat(fd, &st) == 0 &&
                    (!S_ISFIFO(st.st_mode) ||
                     (writer_wait_ms >= 0 && wait_for_writer(fd, writer_wait_ms, first)));
    const int flags = ok ? fcntl(fd, F_GETFL) : -1;
    const bool pipe = S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode);
    std::FILE* f = nullptr;
    if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        f = pipe && wait.waiting ? open_waiting(fd, wait) : fdopen(fd, "r");
    if (!f) {
        close(fd);
        return nullptr;
    }
    if (first != EOF && std::ungetc(first, f) == EOF) {
        std::fclose(f);
        return nullptr;
    }
    if (info)
        *info = st;
    return f;
}
