#include "reference_import.h"

#include "c_locale.h"

#include <cstdio>
#include <cstring>
#include <vector>

bool reference_convert(const std::string& grid_path, const std::string& out_path) {
    CLocaleScope c;
    std::FILE* in = std::fopen(grid_path.c_str(), "r");
    if (!in)
        return false;
    std::FILE* out = std::fopen(out_path.c_str(), "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    // Large enough for every line the tests and benchmarks write, so each line is read whole.
    std::vector<char> line(1 << 20);
    bool ok = false;
    int nz = 0, ny = 0, nx = 0, ncomp = 0;
    if (std::fgets(line.data(), static_cast<int>(line.size()), in) &&
        std::sscanf(line.data(), "%d %d %d %d", &nz, &ny, &nx, &ncomp) == 4 && nz > 0 && ny > 0 &&
        nx > 0 && ncomp > 0) {
        ok = true;
        for (long long i = 0, n = static_cast<long long>(nz) * ny * nx; i < n && ok; ++i) {
            if (!std::fgets(line.data(), static_cast<int>(line.size()), in)) {
                ok = false;
                break;
            }
            float holder = 1.0f;
            char* p = line.data();
            for (int f = 0; f < 3 + ncomp; ++f) {
                while (*p == ' ')
                    ++p;
                std::sscanf(p, "%f", &holder);
                char* space = std::strchr(p, ' ');
                p = space ? space : p + std::strlen(p);
                if (f >= 3) {
                    unsigned char bytes[4];
                    std::memcpy(bytes, &holder, 4);
                    for (unsigned char b : bytes)
                        std::fprintf(out, "%c", b);
                }
            }
        }
    }
    std::fclose(out);
    std::fclose(in);
    return ok;
}
