#include "open_for_reading.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
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

} // namespace

std::FILE* open_for_reading(const char* path, int writer_wait_ms) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    int first = EOF;
    const bool ok = fstat(fd, &st) == 0 &&
                    (!S_ISFIFO(st.st_mode) ||
                     (writer_wait_ms >= 0 && wait_for_writer(fd, writer_wait_ms, first)));
    const int flags = ok ? fcntl(fd, F_GETFL) : -1;
    std::FILE* f =
        flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? fdopen(fd, "r") : nullptr;
    if (!f) {
        close(fd);
        return nullptr;
    }
    if (first != EOF && std::ungetc(first, f) == EOF) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}
