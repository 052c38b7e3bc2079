#include "batch_commands.h"

#include <cstdio>

// Filled in together with the library that does the work.
int run_classify(int, char**) {
    std::fputs("halvorn-batch: 'classify' is not built yet\n", stderr);
    return 1;
}
