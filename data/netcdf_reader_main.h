#pragma once

#include <cstdint>
#include <string>

class ReaderProcess;

// The reader process of the NetCDF import: it opens the file, sends its catalog, waits for the
// plan, sends the coordinates and then the samples, block by block through the shared blocks.

// Messages from the reader process and to it.
enum ReaderMessage : std::int64_t {
    catalog_message = 1, // the catalog
    failure_message,     // why the file cannot be read, to follow its name
    axes_message,        // the coordinates of x, y, z and the components
    block_message,       // a block is filled: its index, samples, stored bytes done and total
    done_message,        // all blocks sent: the missing and low counts
    plan_message,        // to the reader: the plan
    free_message,        // to the reader: a block may be filled again
};

// What the reader process reads: a file by its path, or a file image in memory.
struct ReaderJob {
    std::string path;
    const void* memory = nullptr;
    std::int64_t size = 0;
};

// The reader process's main: `context` is the ReaderJob. Returns its exit status.
int reader_main(ReaderProcess& process, void* context);
