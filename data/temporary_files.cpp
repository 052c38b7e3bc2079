#include "temporary_files.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {

// Slots for the files being written at one time; the programs write one or two at once.
constexpr int slot_count = 16;
enum SlotState : int { free_slot = 0, filling = 1, live = 2 };

struct Slot {
    std::atomic<int> state{free_slot};
    pid_t owner = 0; // a child made by fork() must not remove its parent's files
    char path[PATH_MAX];
};

Slot slots[slot_count];

constexpr int cleanup_signals[] = {SIGTERM, SIGINT, SIGHUP};

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots' states");

void remove_live_files() {
    const int saved_errno = errno;
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == live && slot.owner == getpid())
            unlink(slot.path);
    errno = saved_errno;
}

void on_signal(int signal) {
    remove_live_files();
    // The handler was installed with SA_RESETHAND, so the disposition is the default again;
    // the signal stays blocked until the handler returns and then ends the process.
    raise(signal);
}

sigset_t signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : cleanup_signals)
        sigaddset(&set, s);
    return set;
}

} // namespace

void remove_temporary_files_on_exit() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    for (const int s : cleanup_signals) {
        struct sigaction old {};
        if (sigaction(s, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = on_signal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(s, &action, nullptr);
    }
    std::atexit(remove_live_files);
}

int track_temporary_file(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= PATH_MAX)
        return -1;
    for (int i = 0; i < slot_count; ++i) {
        int expected = free_slot;
        if (!slots[i].state.compare_exchange_strong(expected, filling, std::memory_order_acquire))
            continue;
        std::memcpy(slots[i].path, path, length + 1);
        slots[i].owner = getpid();
        slots[i].state.store(live, std::memory_order_release);
        return i;
    }
    return -1;
}

void forget_temporary_file(int slot) {
    if (slot >= 0 && slot < slot_count)
        slots[slot].state.store(free_slot, std::memory_order_release);
}

TemporaryFileSignalBlock::TemporaryFileSignalBlock() {
    const sigset_t set = signal_set();
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

TemporaryFileSignalBlock::~TemporaryFileSignalBlock() {
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}
