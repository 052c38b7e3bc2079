// Each coarse level of the main view against its full frame, on the dialog benchmark's 1M-point
// field at distance 300 (612 x 375, the sample's curves, turned as after a short drag): the
// frame's time on each drawing path and the mean difference of its colour bytes to the full
// frame, as a share of the full frame's mean (what the dialog benchmark reports for the last
// coarse frame of a drag).
//
//   halvorn_coarse_levels_bench [rounds]
#include "curves_file.h"
#include "driver_memory.h"
#include "frame_field.h"
#include "headless_view.h"
#include "scene.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int width = 612, height = 375;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// The mean colour byte of coarse over that of full, minus 1: the brightness the coarse frame
// gains or loses.
double brightness_change(const std::vector<unsigned char>& coarse,
                         const std::vector<unsigned char>& full) {
    double a = 0.0, b = 0.0;
    for (std::size_t i = 0; i < full.size(); i += 4)
        for (int c = 0; c < 3; ++c) {
            a += coarse[i + c];
            b += full[i + c];
        }
    return b > 0.0 ? a / b - 1.0 : 0.0;
}

double relative_difference(const std::vector<unsigned char>& coarse,
                           const std::vector<unsigned char>& full) {
    double difference = 0.0, level = 0.0;
    for (std::size_t i = 0; i < full.size(); i += 4)
        for (int c = 0; c < 3; ++c) {
            difference += std::abs(int(coarse[i + c]) - int(full[i + c]));
            level += full[i + c];
        }
    return level > 0.0 ? difference / level : 0.0;
}

} // namespace

int main(int argc, char** argv) {
    keep_freed_memory_for_reuse();
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    Scene scene;
    fill_field(scene.data_volume, 128, 128, 64);
    scene.colour_volume.allocate_zeroed(128, 128, 64, 4);
    scene.data_replaced();
    CurvesFile file;
    std::string error;
    if (!scene.load_curves(HALVORN_SAMPLE_CURVES, file, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (file.has_low)
        scene.low_end = file.low;
    if (file.has_range)
        scene.range = file.range;
    scene.classify_all();
    HeadlessView view;
    if (!view.open(width, height)) {
        std::fprintf(stderr, "no headless view: %s\n", view.error().c_str());
        return 1;
    }
    scene.attach_main_view(view);
    scene.place_camera(300.0, -0.5, 0.6);
    scene.place_camera(std::nullopt, 0.03, 0.045); // ten drag steps of (3, 2) pixels, roughly

    SplatRenderer& r = scene.splat_renderer;
    const auto draw = [&](int level, SplatDrawing way, std::vector<unsigned char>& rgba) {
        r.detail = InteractiveDetail::factors[level];
        r.coarse_drawing = way;
        const auto start = std::chrono::steady_clock::now();
        view.repaint();
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        view.read_pixels(rgba);
        return s;
    };
    std::vector<unsigned char> full, coarse;
    std::vector<double> full_times;
    for (int i = 0; i < rounds; ++i)
        full_times.push_back(draw(0, SplatDrawing::arrays, full));
    std::printf("full frame (arrays) %.1f ms\n", median(full_times) * 1e3);
    // A full frame through the shaders builds their buffer, which coarse frames then use.
    r.drawing = SplatDrawing::shaders;
    std::vector<unsigned char> built;
    std::printf("full frame (shaders, building) %.1f ms\n",
                draw(0, SplatDrawing::shaders, built) * 1e3);
    std::printf("full frame (shaders, built) %.1f ms\n",
                draw(0, SplatDrawing::shaders, built) * 1e3);
    r.drawing = SplatDrawing::arrays;
    std::printf("level  steps   arrays ms  diff %%   shaders ms  diff %%\n");
    for (int level = 1; level < InteractiveDetail::levels; ++level) {
        const auto& f = InteractiveDetail::factors[level];
        std::printf("%5d  %d,%d,%d", level, f.x, f.y, f.z);
        for (SplatDrawing way : {SplatDrawing::arrays, SplatDrawing::shaders}) {
            std::vector<double> t;
            for (int i = 0; i < rounds; ++i)
                t.push_back(draw(level, way, coarse));
            std::printf("   %8.1f  %6.1f %+6.1f", median(t) * 1e3,
                        100.0 * relative_difference(coarse, full),
                        100.0 * brightness_change(coarse, full));
        }
        std::printf("\n");
    }
    return 0;
}
