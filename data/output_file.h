#pragma once

#include "background_job.h"

#include <cstdio>
#include <string>
#include <vector>

// A file written whole or not at all: the import's intermediate file, the batch tool's outputs,
// images and curves files. A regular file, or a name not taken yet, is written to a temporary
// file in the same folder, flushed to the disk, and renamed over the target only by commit(),
// so a failure, a cancel or a power loss leaves an existing file exactly as it was and leaves no
// temporary file behind (also when the program is stopped by a signal, see temporary_files.h).
// Symbolic links (a chain of them, or a dangling one) are followed: the links stay and their
// final target receives the new file. Devices, FIFOs with a reader and files named through
// /proc (such as /dev/stdout) are written directly.
//
// Where nothing can be created beside an existing, writable target (its folder is read-only),
// the new file is prepared elsewhere (an unnamed file on the same file system if possible,
// else in another temporary folder or in memory) and copied over the target only once it is
// complete; space for it is reserved first, so the old file stays as it was unless the copy
// itself fails (see target_lost()). Never throws.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens `path` for writing; false when it cannot be written: a missing folder, a folder, a
    // read-only file, a FIFO without a reader (refused at once rather than waited on), or the
    // same file as one of `keep` (the grid and the curves file in use, which must never be
    // written over). Opening changes nothing of an existing file. failure() then says why.
    bool open(const std::string& path, const std::vector<std::string>& keep);
    bool open(const std::string& path, const std::string& keep) {
        return open(path, std::vector<std::string>{keep});
    }

    // The stream to write to; null when not open.
    std::FILE* stream() const { return file_; }

    // Starts the disk writing what has been written so far, without waiting for it, so that
    // commit() waits only for the rest. For long writes, called now and then (the NetCDF import
    // does, after each block; in the text import it was measured to gain nothing); does nothing
    // for a file written directly or prepared elsewhere.
    void write_behind();

    // Hands what the stream holds to the kernel and returns a new descriptor open for reading on
    // the file being written, which the caller owns, so that the file can be read back while
    // commit() runs on another thread (its flush waits mostly for the disk). -1 where the target
    // is written directly or the stream cannot be flushed; commit() then fails with the reason.
    int reading_descriptor();

    // Flushes the new file to the disk and puts it in place. False when that fails; what was
    // written is then discarded as by discard(), and failure() says why.
    bool commit();

    // Closes the stream and removes what was written, leaving an existing file as it was.
    void discard();

    // Why the last open() or commit() failed, in words ("Permission denied", "it is a FIFO
    // that nobody reads from"); empty after a success.
    const std::string& failure() const { return failure_; }

    // After a failed commit() of a file prepared elsewhere: the copy over the target failed
    // part way, so the old file could not be kept; it has been emptied rather than left
    // holding part of the new file.
    bool target_lost() const { return target_lost_; }

    // After a successful commit(): a descriptor open for reading on the very file this object
    // wrote, which stays right even when another process has since put its own file under the
    // same name. -1 when the target was written directly (a device or FIFO: read it by name,
    // if at all). Owned here; valid until the next open() or the object's end.
    int written_descriptor() const { return written_fd_; }

private:
    void close_written();

    std::FILE* file_ = nullptr;
    std::string target_;      // the file that receives the samples, symbolic links followed
    std::string temporary_;   // the file beside the target that is written; empty when none
    int temporary_slot_ = -1; // its entry among the files removed on a signal
    int target_fd_ = -1;      // the target, opened for writing, when the file is prepared elsewhere
    int written_fd_ = -1;
    // Bytes handed to the disk by write_behind(), at least this many at a time, on a thread.
    static constexpr long long write_behind_bytes = 4 << 20;
    long long behind_ = 0;
    BackgroundJob behind_job_;
    int flush_error_ = 0; // errno of a failed flush in reading_descriptor()
    std::string failure_;
    bool target_lost_ = false;
};

// Writes `size` bytes from `data` as the whole of `path` through an OutputFile: all of it or,
// on any failure, nothing; `failure`, when given, then receives the reason. `keep` as for
// OutputFile::open.
bool write_whole_file(const std::string& path, const std::vector<std::string>& keep,
                      const void* data, std::size_t size, std::string* failure = nullptr);
inline bool write_whole_file(const std::string& path, const std::string& keep, const void* data,
                             std::size_t size, std::string* failure = nullptr) {
    return write_whole_file(path, std::vector<std::string>{keep}, data, size, failure);
}
