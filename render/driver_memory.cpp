#include "driver_memory.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keep_freed_memory_for_reuse() {
#if defined(__GLIBC__)
    // Blocks up to 32 MiB come from the heap (larger ones, the volumes' sample arrays, are
    // still mapped and returned whole), and up to 64 MiB of free heap stays with the process.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}
