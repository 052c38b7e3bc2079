// Feeds arbitrary text to the curves-file reader. An accepted file must hold curves the editor
// can use (1 to 20 points, x ascending and ending at (1.0, 0.0), finite numbers) and must
// survive a write and a second read unchanged; a refused one must leave the target untouched.
#include "curves_file.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

bool same(const CurvesFile& a, const CurvesFile& b) {
    if (a.has_low != b.has_low || a.has_range != b.has_range || (a.has_low && a.low != b.low) ||
        (a.has_range && a.range != b.range))
        return false;
    for (int c = 0; c < 4; ++c) {
        if (a.curves[c].count != b.curves[c].count)
            return false;
        for (int i = 0; i < a.curves[c].count; ++i)
            if (a.curves[c].x[i] != b.curves[c].x[i] || a.curves[c].y[i] != b.curves[c].y[i])
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CurvesFile file;
    file.curves[0].count = 2;
    file.curves[0].x[0] = 0.25;
    file.curves[0].y[0] = 0.5;
    file.curves[0].x[1] = 1.0;
    const CurvesFile before = file;
    std::string error;
    if (!parse_curves_text(text, "fuzz.json", file, error)) {
        if (!same(file, before) || error.empty())
            std::abort();
        return 0;
    }
    for (const CurvePoints& c : file.curves) {
        if (c.count < 1 || c.count > CurvePoints::capacity || c.x[c.count - 1] != 1.0 ||
            c.y[c.count - 1] != 0.0)
            std::abort();
        for (int i = 0; i < c.count; ++i)
            if (!std::isfinite(c.x[i]) || !std::isfinite(c.y[i]) || (i > 0 && c.x[i] < c.x[i - 1]))
                std::abort();
    }
    const std::string path = "/tmp/halvorn-fuzz-curves-" + std::to_string(getpid()) + ".json";
    CurvesFile again;
    if (!write_curves_file(path, file, error) || !read_curves_file(path, again, error) ||
        !same(file, again))
        std::abort();
    std::remove(path.c_str());
    return 0;
}
