#include "batch_commands.h"

#include <cstdio>

// Filled in together with the library that does the work.
int run_render(int, char**) {
    std::fputs("halvorn-batch: 'render' is not built yet\n", stderr);
    return 1;
}
