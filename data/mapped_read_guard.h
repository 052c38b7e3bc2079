#pragma once

#include <cstddef>

// A mapped file that another program shortens while it is read raises SIGBUS on the pages past
// its new end, which would end the process. read_mapped_guarded() runs `job` so that such a
// fault on the calling thread, at an address in [begin, begin + bytes), ends only the job: it
// then returns false. The job must hold nothing that needs cleaning up (no objects with
// destructors, no locks) while it reads the mapping, because it is left without unwinding. Any
// other SIGBUS goes to the handling that was in place before.
bool read_mapped_guarded(const void* begin, std::size_t bytes, void (*job)(void*), void* context);

// The same for a callable object: calls f().
template <class F> bool read_mapped_guarded(const void* begin, std::size_t bytes, F& f) {
    return read_mapped_guarded(
        begin, bytes, [](void* c) { (*static_cast<F*>(c))(); }, &f);
}
