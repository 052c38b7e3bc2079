#pragma once

#include <cstdio>
#include <string>

// A file written whole or not at all: the import's intermediate file and the batch tool's
// outputs. A regular file, or a name not taken yet, is written to a temporary file in the same
// folder and renamed over the target only by commit(), so a failure or a cancel leaves an
// existing file exactly as it was and leaves no temporary file behind. Symbolic links (a chain
// of them, or a dangling one) are followed: the links stay and their final target receives the
// new file. Devices, FIFOs with a reader and files named through /proc (such as /dev/stdout)
// are written directly. Where nothing can be created beside the target it is written in place,
// and a failure removes it, as it then holds only part of the data. Never throws.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens `path` for writing; false when it cannot be written: a missing folder, a folder, a
    // read-only file, a FIFO without a reader (refused at once rather than waited on), or the
    // same file as `keep` (the grid, which must never be written over). Opening changes nothing
    // of an existing file.
    bool open(const std::string& path, const std::string& keep);

    // The stream to write to; null when not open.
    std::FILE* stream() const { return file_; }

    // Closes the stream and puts the new file in place. False when closing or renaming fails;
    // what was written is then discarded as by discard().
    bool commit();

    // Closes the stream and removes what was written, leaving an existing file as it was.
    void discard();

private:
    std::FILE* file_ = nullptr;
    std::string target_;    // the file that receives the samples, symbolic links followed
    std::string temporary_; // empty when the target itself is written
    bool in_place_ = false; // the target itself, a regular file, is being written
};

// Writes `size` bytes from `data` as the whole of `path` through an OutputFile: all of it or,
// on any failure, nothing. `keep` as for OutputFile::open.
bool write_whole_file(const std::string& path, const std::string& keep, const void* data,
                      std::size_t size);
