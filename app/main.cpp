#include "driver_memory.h"
#include "volume_app.h"

// The one application object.
CVolumeApp the_app;

int main(int argc, char** argv) {
    keep_freed_memory_for_reuse();
    return the_app.InitInstance(argc, argv);
}
