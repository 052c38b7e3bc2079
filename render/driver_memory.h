#pragma once

// Lets the process keep memory it frees for its next allocations instead of handing it back to
// the system at once. Mesa's software rasteriser copies client-side vertex arrays into newly
// allocated buffers at every draw call; with glibc's defaults those buffers of a few hundred
// kilobytes are mapped afresh each time and every page of them faults in again (measured: a
// single-frame halvorn-batch render of a 96 x 76 x 70 grid took 88,000 page faults instead of
// 29,000-47,000). Programs call this once at start-up, before the first frame. Does nothing
// where the C library offers no such setting.
void keep_freed_memory_for_reuse();
