#pragma once

#include <csignal>

// The temporary files that are being written at this moment (an intermediate file or an output
// before it is renamed into place), kept where a signal handler can reach them, so that a
// program stopped by SIGTERM, SIGINT or SIGHUP, or one that exits while an import runs, leaves
// none of them behind. Everything here is safe to call from any thread; the handler uses only
// async-signal-safe calls.

// Installs handlers for SIGTERM, SIGINT and SIGHUP that remove every temporary file being
// written and then end the process by the same signal (so its exit status still says which),
// and removes them at exit() as well. A signal that is ignored when this is called (SIGHUP
// under nohup) stays ignored. Call it once, early in main().
void remove_temporary_files_on_exit();

// Records a file that must not outlive the process; returns a slot for forget_temporary_file,
// or -1 when the name is too long or all slots are taken (the file is then not removed on a
// signal, and everything else works as before).
int track_temporary_file(const char* path);

// The file is no longer temporary: renamed into place, or removed.
void forget_temporary_file(int slot);

// Blocks the three signals on this thread for the scope's lifetime, so that a file created
// inside it is tracked before a signal can arrive.
class TemporaryFileSignalBlock {
public:
    TemporaryFileSignalBlock();
    ~TemporaryFileSignalBlock();
    TemporaryFileSignalBlock(const TemporaryFileSignalBlock&) = delete;
    TemporaryFileSignalBlock& operator=(const TemporaryFileSignalBlock&) = delete;

private:
    sigset_t saved_;
};
