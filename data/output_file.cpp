#include "output_file.h"

#include "shown_path.h"
#include "temporary_files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return !b.empty() && stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string reason(int error) {
    return error == ENXIO ? "it is a FIFO that nobody reads from" : std::strerror(error);
}

// The folder part of a path, with its final '/' ("" for a bare name).
std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows symbolic links by name to the file they finally name, which need not exist (a
// dangling link names the file to create). `through_proc` is set when the way leads through
// /proc, as /dev/stdout does: such a link stands for an open file, not a place in a folder.
bool follow_links(const std::string& path, std::string& target, bool& through_proc) {
    std::string p = path;
    through_proc = false;
    for (int hops = 0; hops <= 40; ++hops) { // the kernel gives up after 40 links as well
        through_proc = through_proc || p.rfind("/proc/", 0) == 0;
        struct stat st {};
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = p;
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t n = readlink(p.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size())
            return false;
        link.resize(static_cast<std::size_t>(n));
        p = link[0] == '/' ? link : folder_of(p) + link;
    }
    errno = ELOOP;
    return false;
}

// The start of `name` that leaves room for `extra` bytes within the longest name the folder
// takes, cut before a UTF-8 continuation byte so that no character is split.
std::string name_start(const std::string& name, const std::string& folder, std::size_t extra) {
    const long max = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    const std::size_t room = (max > 0 ? static_cast<std::size_t>(max) : 255) - extra;
    if (name.size() <= room)
        return name;
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

// Creates a new file, open for reading and writing, named `stem` followed by six random
// characters. Returns its descriptor, or -1 with errno set.
int create_unique(const std::string& stem, std::string& name) {
    static std::atomic<std::uint64_t> serial{0};
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::uint64_t r = static_cast<std::uint64_t>(
                              std::chrono::steady_clock::now().time_since_epoch().count()) ^
                          (static_cast<std::uint64_t>(getpid()) << 40) ^
                          (serial++ * 0x9E3779B97F4A7C15ull);
        char tag[7];
        for (int i = 0; i < 6; ++i, r /= 36)
            tag[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[r % 36];
        tag[6] = '\0';
        name = stem + tag;
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Creates a new file beside `target` and records it among the files removed on a signal.
// Its name is the target's followed by ".tmp-" and six characters, the target's name cut
// short where the whole would be too long for the folder. The permissions are those a plain
// create gives (0666 less the umask, or a folder's default ACL), or `mode` when that is not
// negative. Returns the descriptor, or -1 with errno set.
int create_beside(const std::string& target, int mode, std::string& name, int& slot) {
    const std::string folder = folder_of(target);
    const std::string suffix = ".tmp-";
    const std::string stem =
        folder + name_start(target.substr(folder.size()), folder, suffix.size() + 6) + suffix;
    const TemporaryFileSignalBlock no_signals;
    const int fd = create_unique(stem, name);
    if (fd < 0) {
        name.clear();
        return -1;
    }
    slot = track_temporary_file(name.c_str());
    if (mode >= 0)
        fchmod(fd, static_cast<mode_t>(mode));
    return fd;
}

// A file without a name, for preparing a target whose own folder takes no new file: in a
// temporary folder on the target's file system when there is one, else in any temporary
// folder, else in memory. -1 when none can be made.
int create_unnamed(dev_t target_device) {
    const char* const folders[] = {std::getenv("TMPDIR"), "/var/tmp", "/tmp", "/dev/shm"};
    for (const bool same_device : {true, false}) {
        for (const char* folder : folders) {
            struct stat st {};
            if (!folder || !*folder || stat(folder, &st) != 0 || !S_ISDIR(st.st_mode) ||
                (st.st_dev == target_device) != same_device)
                continue;
            int fd = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
            if (fd >= 0)
                return fd;
            // A file system without unnamed files: create one and remove its name at once.
            const TemporaryFileSignalBlock no_signals;
            std::string name;
            fd = create_unique(std::string(folder) + "/halvorn-", name);
            if (fd >= 0) {
                unlink(name.c_str());
                return fd;
            }
        }
    }
    return memfd_create("halvorn-output", MFD_CLOEXEC);
}

// Opens an existing file for writing as it is, truncating it when asked. O_NONBLOCK makes a
// FIFO without a reader fail at once (ENXIO) instead of waiting for one; the writes themselves
// block as usual.
std::FILE* open_directly(const std::string& path, bool truncate) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | (truncate ? O_TRUNC : 0));
    if (fd < 0)
        return nullptr;
    const int flags = fcntl(fd, F_GETFL);
    std::FILE* f =
        flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? fdopen(fd, "wb") : nullptr;
    if (!f) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return f;
}

// Removes the file that a new one has replaced. Its name goes at once; freeing the blocks of a
// large file takes tens of milliseconds (about 50 for 64 MB on ext4), which a thread of their
// own spends, so that nobody waits for them. The thread is detached: it holds no state that a
// forked child or the exit would have to wait for, and where the process ends first, the
// system closes the file all the same.
void remove_replaced(const std::string& path) {
    const int held = open(path.c_str(), O_PATH | O_CLOEXEC);
    unlink(path.c_str());
    if (held < 0)
        return;
    // A small file is freed at once: a thread would cost more than it saves.
    struct stat st {};
    if (fstat(held, &st) != 0 || st.st_blocks < (std::int64_t{8} << 20) / 512) {
        close(held);
        return;
    }
    try {
        std::thread([held] { close(held); }).detach();
    } catch (...) {
        close(held);
    }
}

// Makes the folder's entries (a rename into it) durable. A folder that cannot be opened for
// this is left to the file system's own timing.
void sync_folder(const std::string& path) {
    const std::string folder = folder_of(path);
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

bool write_all_at(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// Copies the whole of `from` over the start of `to` and cuts `to` to the same size. `touched`
// is set once a byte of `to` may have changed.
bool copy_over(int from, int to, bool& touched) {
    struct stat st {};
    if (fstat(from, &st) != 0)
        return false;
    // Reserving the space first keeps a full disk from failing the copy half way.
    if (st.st_size > 0 && fallocate(to, FALLOC_FL_KEEP_SIZE, 0, st.st_size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    constexpr std::size_t block = std::size_t{1} << 20;
    char* const buffer = static_cast<char*>(std::malloc(block));
    if (!buffer) {
        errno = ENOMEM;
        return false;
    }
    bool ok = true;
    for (off_t at = 0; ok && at < st.st_size;) {
        const ssize_t n = pread(from, buffer, block, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        touched = true;
        ok = write_all_at(to, buffer, static_cast<std::size_t>(n), at);
        at += n;
    }
    std::free(buffer);
    if (ok) {
        touched = true;
        ok = ftruncate(to, st.st_size) == 0 && fsync(to) == 0;
    }
    return ok;
}

} // namespace

OutputFile::~OutputFile() {
    discard();
    close_written();
}

bool OutputFile::open(const std::string& path, const std::vector<std::string>& keep) {
    discard();
    close_written();
    failure_.clear();
    flush_error_ = 0;
    target_lost_ = false;
    behind_ = 0;
    if (path.empty()) {
        failure_ = "no file name was given";
        return false;
    }
    for (const std::string& kept : keep) {
        if (same_file(path, kept)) {
            failure_ = "it is the same file as \"" + shown_path(kept) + "\", which is only read";
            return false;
        }
    }
    std::string target;
    bool through_proc = false;
    if (!follow_links(path, target, through_proc)) {
        failure_ = reason(errno);
        return false;
    }
    struct stat st {};
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists && (!S_ISREG(st.st_mode) || through_proc)) {
        // A device, a FIFO, or an open file named through /proc: written as it is, never
        // replaced or removed.
        file_ = open_directly(path, S_ISREG(st.st_mode));
        if (!file_)
            failure_ = reason(errno);
        return file_ != nullptr;
    }
    int mode = -1;
    int probe = -1;
    if (exists) {
        // A file that cannot be written as it is stays unwritable, as before: it is not
        // replaced behind the owner's back.
        probe = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0) {
            failure_ = reason(errno);
            return false;
        }
        mode = static_cast<int>(st.st_mode & 07777);
    }
    int fd = create_beside(target, mode, temporary_, temporary_slot_);
    if (fd < 0) {
        const int error = errno;
        if (probe >= 0) {
            // The folder takes no new file but the target itself can be written: prepare the
            // new file elsewhere and copy it over the target at commit().
            fd = create_unnamed(st.st_dev);
            if (fd >= 0)
                target_fd_ = probe;
            else
                close(probe);
        }
        if (fd < 0) {
            failure_ = reason(error);
            return false;
        }
    } else if (probe >= 0) {
        close(probe);
    }
    target_ = target;
    file_ = fdopen(fd, "w+b");
    if (!file_) {
        failure_ = reason(errno);
        close(fd);
        discard();
        return false;
    }
    return true;
}

void OutputFile::write_behind() {
    if (!file_ || temporary_.empty())
        return;
    // What the stream has handed to the kernel; the stream's own buffer is left alone, so that
    // a write that fails (a full disk) is still seen where the writer checks it.
    const int fd = fileno(file_);
    const off_t end = lseek(fd, 0, SEEK_CUR);
    if (end - behind_ < write_behind_bytes)
        return;
    // Handing pages to the disk makes the file system prepare each of them, which would take
    // the writer's own time: a thread of its own does it. Only a hint: where it fails,
    // commit()'s fsync writes everything as before.
    const off_t from = behind_;
    behind_ = end;
    try {
        behind_job_.run(
            [fd, from, end] { sync_file_range(fd, from, end - from, SYNC_FILE_RANGE_WRITE); });
    } catch (...) {
        // No memory for the job: the hint is left out.
    }
}

int OutputFile::reading_descriptor() {
    if (!file_ || (temporary_.empty() && target_fd_ < 0))
        return -1;
    // The stream drops what it could not write, so a later flush would succeed on a short
    // file: the failure is kept for commit().
    if (std::fflush(file_) != 0) {
        flush_error_ = errno;
        return -1;
    }
    return fcntl(fileno(file_), F_DUPFD_CLOEXEC, 0);
}

bool OutputFile::commit() {
    behind_job_.wait();
    if (!file_)
        return false;
    const int fd = fileno(file_);
    bool ok = flush_error_ == 0 && std::fflush(file_) == 0;
    int error = ok ? 0 : flush_error_ != 0 ? flush_error_ : errno;
    if (ok && !temporary_.empty()) {
        // The data reaches the disk before the new name does: a power loss cannot leave an
        // empty or partial file under the target's name.
        ok = fsync(fd) == 0;
        if (!ok)
            error = errno;
    } else if (ok && target_fd_ >= 0) {
        bool touched = false;
        ok = copy_over(fd, target_fd_, touched);
        if (!ok)
            error = errno;
        target_lost_ = !ok && touched;
    }
    if (ok && (!temporary_.empty() || target_fd_ >= 0)) {
        written_fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (written_fd_ < 0)
            error = errno;
        ok = written_fd_ >= 0;
    }
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        error = errno;
    }
    file_ = nullptr;
    if (ok && !temporary_.empty()) {
        // Exchanging the two names and then removing the old file replaces the target as
        // atomically as rename() does; where the exchange is not available (no old file, or a
        // file system without it) the rename does the same.
        if (renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) ==
            0)
            remove_replaced(temporary_);
        else if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
            ok = false;
            error = errno;
        }
        if (ok) {
            forget_temporary_file(temporary_slot_);
            temporary_slot_ = -1;
            temporary_.clear();
            sync_folder(target_);
        }
    }
    if (!ok) {
        if (target_lost_)
            ftruncate(target_fd_, 0); // neither the old file nor the new one: leave it empty
        discard();
        close_written();
        failure_ = reason(error);
        return false;
    }
    discard();
    return true;
}

void OutputFile::discard() {
    behind_job_.wait();
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty())
        unlink(temporary_.c_str());
    forget_temporary_file(temporary_slot_);
    temporary_slot_ = -1;
    temporary_.clear();
    if (target_fd_ >= 0)
        close(target_fd_);
    target_fd_ = -1;
    target_.clear();
}

void OutputFile::close_written() {
    if (written_fd_ >= 0)
        close(written_fd_);
    written_fd_ = -1;
}

bool write_whole_file(const std::string& path, const std::vector<std::string>& keep,
                      const void* data, std::size_t size, std::string* failure) {
    OutputFile file;
    bool ok = file.open(path, keep);
    if (ok && std::fwrite(data, 1, size, file.stream()) != size) {
        const int error = errno;
        file.discard();
        if (failure)
            *failure = reason(error);
        return false;
    }
    ok = ok && file.commit();
    if (!ok && failure)
        *failure = file.failure();
    return ok;
}
