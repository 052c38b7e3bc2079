#include "batch_sequence.h"

#include "batch_scene.h"
#include "c_locale.h"
#include "component_steps.h"
#include "png_image.h"
#include "scene.h"
#include "shared_constants.h"

#include <cstdio>
#include <vector>

namespace {

// More pictures than anyone turns a grid through; it keeps a typing slip from filling a disc.
constexpr int max_turntable = 36000;

} // namespace

int read_sequence_options(const OptionWords& words, SequenceOptions& out) {
    out.frames = words.count("--frames") > 0;
    if (const auto it = words.find("--turntable"); it != words.end()) {
        if (!parse_c_int(it->second, out.turntable) || out.turntable < 1 ||
            out.turntable > max_turntable)
            return batch_usage_error(
                format_c("--turntable needs a whole number from 1 to %d", max_turntable) +
                ", not '" + it->second + "'");
    }
    if (out.frames && out.turntable > 0)
        return batch_usage_error("--frames and --turntable cannot be used together");
    return 0;
}

int batch_apply_window(const SceneOptions& options, Scene& scene) {
    if (!options.window)
        return 0;
    const int first = options.window->first;
    const int last = options.window->last;
    std::string misfit = component_window_misfit(first, last, scene.data_volume.ncomp);
    if (misfit.empty() && !scene.set_component_window(first - 1, last - 1))
        misfit = "the grid's components cannot be windowed";
    if (!misfit.empty()) {
        std::fprintf(stderr, "ERROR: %s\n", misfit.c_str());
        return 1;
    }
    return 0;
}

std::string sequence_path(const std::string& output, int index, int count) {
    std::string stem = output;
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".png") == 0)
        stem.resize(stem.size() - 4);
    int digits = 3;
    for (int n = 1000; n < count && digits < 10; n *= 10)
        ++digits;
    return stem + format_c("-%0*d.png", digits, index);
}

int write_frame(Scene& scene, const std::string& path, int width, int height) {
    std::vector<unsigned char> pixels;
    std::string error;
    if (!scene.draw_image(width, height, pixels, error) ||
        !write_png(rgba_image(pixels, width, height), path, scene.protected_paths(), error)) {
        std::fprintf(stderr, "ERROR: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int write_sequence(Scene& scene, const SequenceOptions& sequence, const std::string& output,
                   int width, int height) {
    if (sequence.frames) {
        const int components = scene.data_volume.ncomp;
        const int span = scene.window_width();
        const int count = window_positions(span, components);
        for (int k = 0; k < count; ++k) {
            // Each position is a new path through the same curves: every channel anew.
            scene.set_component_window(k, k + span - 1);
            if (!scene.classify_all()) {
                std::fputs("ERROR: the grid could not be classified (out of memory)\n", stderr);
                return 1;
            }
            if (const int status =
                    write_frame(scene, sequence_path(output, k, count), width, height))
                return status;
        }
        return 0;
    }
    // The colour volume stays; the camera turns about the up axis from where it was put.
    Camera& camera = scene.view_controller.camera;
    const Camera start = camera;
    for (int k = 0; k < sequence.turntable; ++k) {
        camera = start;
        if (k > 0)
            camera.rotate_right(Mat3::axis_rotation(2, 2.0 * pi * k / sequence.turntable));
        if (const int status =
                write_frame(scene, sequence_path(output, k, sequence.turntable), width, height))
            return status;
    }
    camera = start;
    return 0;
}
