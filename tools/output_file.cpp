#include "output_file.h"

#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    if (fd_ >= 0)
        ::close(fd_);
    // A QSaveFile destroyed without commit() discards its temporary file.
}

bool OutputFile::open(const std::string& path) {
    struct stat st {};
    // QSaveFile would replace a device node with a regular file (as root, /dev/full included):
    // special files are written in place instead.
    if (!path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
        !S_ISDIR(st.st_mode)) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return false;
        const int flags = ::fcntl(fd_, F_GETFL);
        return flags >= 0 && ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0;
    }
    save_ = std::make_unique<QSaveFile>(QString::fromLocal8Bit(path.c_str()));
    save_->setDirectWriteFallback(false);
    return save_->open(QIODevice::WriteOnly);
}

bool OutputFile::write(const void* data, std::int64_t size) {
    if (failed_)
        return false;
    const char* p = static_cast<const char*>(data);
    if (save_) {
        failed_ = save_->write(p, size) != size;
        return !failed_;
    }
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, static_cast<std::size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        p += n;
        size -= n;
    }
    return true;
}

bool OutputFile::commit() {
    if (save_) {
        if (failed_) {
            save_->cancelWriting();
            save_->commit(); // discards the temporary file
            return false;
        }
        return save_->commit();
    }
    const bool closed = fd_ >= 0 && ::close(fd_) == 0;
    fd_ = -1;
    return closed && !failed_;
}

bool write_output_file(const std::string& path, const void* data, std::int64_t size) {
    OutputFile file;
    if (file.open(path) && file.write(data, size) && file.commit())
        return true;
    std::fprintf(stderr, "ERROR: cannot write '%s'\n", path.c_str());
    return false;
}
