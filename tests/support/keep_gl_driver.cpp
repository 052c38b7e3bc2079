// Mesa's GLX path unloads its driver when the last context is gone. What the driver keeps for
// the life of the process then shows up in leak reports under "<unknown module>", which no
// suppression can name. Keeping the driver loaded for the whole test process lets
// tests/sanitizers/lsan.supp attribute those blocks to it. It changes nothing the tests check.
#include <dlfcn.h>
#include <initializer_list>

namespace {

struct KeepGlDriver {
    KeepGlDriver() {
        for (const char* path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                 "/usr/lib64/dri/swrast_dri.so", "/usr/lib/dri/swrast_dri.so"})
            if (dlopen(path, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE))
                return;
    }
} keep_gl_driver;

} // namespace
