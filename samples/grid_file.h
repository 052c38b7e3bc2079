#pragma once

#include <cstdio>
#include <functional>

// The main() of a grid generator: writes the two-component grid text file named by the one
// argument. Header "nz ny nx 2", then one line per grid point, z slowest and x fastest:
// `indent`, "x y z", and the two values with `decimals` decimals, or -9999 twice where
// `values` returns false (no data).
inline int write_grid_file(int argc, char** argv, int nx, int ny, int nz, const char* indent,
                           int decimals,
                           const std::function<bool(int, int, int, double&, double&)>& values) {
    if (argc != 2 || argv[1][0] == '-') { // --help and the like name no file to write
        std::fprintf(stderr, "usage: %s OUTPUT.txt\n", argv[0]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "%d %d %d %d\n", nz, ny, nx, 2);
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                double a = 0.0, b = 0.0;
                if (values(x, y, z, a, b))
                    std::fprintf(out, "%s%d %d %d %.*f %.*f\n", indent, x, y, z, decimals, a,
                                 decimals, b);
                else
                    std::fprintf(out, "%s%d %d %d -9999 -9999\n", indent, x, y, z);
            }
    if (std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
