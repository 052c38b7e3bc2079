#pragma once

#include <cstdint>
#include <memory>
#include <string>

class QSaveFile;

// A file that a batch command writes whole, or not at all. A regular file (or a new one) is
// written beside its target and moved over it only when every byte has been written, so a full
// disk or any other failure leaves the old file, or none, and never a partial one; a symbolic
// link keeps pointing at its target. A device or a pipe (/dev/stdout, /dev/null, a FIFO with a
// reader) is written directly; a FIFO without a reader is refused rather than waited for.
class OutputFile {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open(const std::string& path);
    bool write(const void* data, std::int64_t size);
    // Finishes the file; false when any step failed (nothing is left at a regular path then).
    bool commit();

private:
    std::unique_ptr<QSaveFile> save_;
    int fd_ = -1;
    bool failed_ = false;
};

// Writes `size` bytes to `path` through OutputFile. On failure prints
// "ERROR: cannot write 'PATH'" to standard error and returns false.
bool write_output_file(const std::string& path, const void* data, std::int64_t size);
