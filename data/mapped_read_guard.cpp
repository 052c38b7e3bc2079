#include "mapped_read_guard.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace {

struct Guard {
    sigjmp_buf jump;
    const char* begin;
    const char* end;
};

thread_local Guard* active_guard = nullptr;
struct sigaction previous_action {};

void on_bus_error(int, siginfo_t* info, void*) {
    Guard* const guard = active_guard;
    const char* const at = static_cast<const char*>(info->si_addr);
    if (guard && at >= guard->begin && at < guard->end) {
        active_guard = nullptr;
        siglongjmp(guard->jump, 1);
    }
    // Not a guarded read: hand the signal back, and the faulting access repeats under it.
    sigaction(SIGBUS, &previous_action, nullptr);
}

void install_handler() {
    struct sigaction action {};
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &previous_action);
}

} // namespace

bool read_mapped_guarded(const void* begin, std::size_t bytes, void (*job)(void*), void* context) {
    static std::once_flag installed;
    std::call_once(installed, install_handler);
    Guard guard;
    guard.begin = static_cast<const char*>(begin);
    guard.end = guard.begin + bytes;
    Guard* const outer = active_guard;
    // The signal mask is saved too, so SIGBUS is not left blocked after a jump.
    if (sigsetjmp(guard.jump, 1)) {
        active_guard = outer;
        return false;
    }
    active_guard = &guard;
    job(context);
    active_guard = outer;
    return true;
}
