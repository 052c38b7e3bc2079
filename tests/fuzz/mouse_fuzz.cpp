// Plays a sequence of mouse events on a curve in a filled panel projection. Whatever the
// sequence, the curve keeps 1 to 20 points with x ascending, its last point stays (1.0, 0.0),
// the segments it builds are finite, and nothing is read or written outside its arrays.
#include "fuzz_input.h"
#include "transfer_function.h"
#include "view_projection.h"

#include <cmath>
#include <cstdlib>

namespace {

struct CountingListener final : ChangeListener {
    void changed() override { ++calls; }
    int calls = 0;
};

void check(const TransferFunction& curve) {
    if (curve.count < 1 || curve.count > TransferFunction::capacity ||
        curve.x[curve.count - 1] != 1.0 || curve.y[curve.count - 1] != 0.0)
        std::abort();
    for (int i = 1; i < curve.count; ++i)
        if (!(curve.x[i - 1] <= curve.x[i]))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    TransferFunction curve;
    CountingListener listener;
    curve.vertical_scale = 0.7;
    curve.listener = &listener;
    // The record a 207 x 93 pixel panel fills at its paint.
    ViewProjection projection;
    projection.aspect = in.fraction(0.5, 3.0);
    projection.fov = 3.14159265358979323846 * 0.25;
    projection.tan_half_fov = std::tan(projection.fov * 0.5);
    projection.near = 3.0;
    projection.camera = curve.pick_snapshot();
    curve.projection = &projection;

    while (!in.empty()) {
        const int flags = in.byte() & 3;
        // Mostly inside the panel, sometimes a little outside it.
        const double x = in.fraction(-0.2, 1.2);
        const double y = in.fraction(-0.2, 1.2);
        curve.on_mouse(flags, x, y);
        check(curve);
        if (in.byte() % 4 == 0) {
            curve.update_segments();
            for (int i = 0; i < curve.count; ++i)
                for (double c : curve.segments[i].coefficients)
                    if (!std::isfinite(c))
                        std::abort();
        }
    }
    return 0;
}
