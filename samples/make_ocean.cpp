// Writes the ocean field (see ocean_field.h) as a grid text file: two components, the two
// seasons, with -9999 where there is no water.
#include "grid_file.h"
#include "ocean_field.h"

int main(int argc, char** argv) {
    using namespace ocean;
    return write_grid_file(argc, argv, nx, ny, nz, "", 2,
                           [](int x, int y, int z, double& a, double& b) {
                               if (!wet(x, y, z))
                                   return false;
                               a = temperature(y, z, -1.0);
                               b = temperature(y, z, 1.0);
                               return true;
                           });
}
