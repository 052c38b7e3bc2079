#include "volume_app.h"

// The one application object.
CVolumeApp the_app;

int main(int argc, char** argv) {
    return the_app.InitInstance(argc, argv);
}
