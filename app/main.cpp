#include "driver_memory.h"
#include "temporary_files.h"
#include "volume_app.h"

// The one application object.
CVolumeApp the_app;

int main(int argc, char** argv) {
    keep_freed_memory_for_reuse();
    remove_temporary_files_on_exit(); // a signal mid-write leaves no temporary file behind
    return the_app.InitInstance(argc, argv);
}
