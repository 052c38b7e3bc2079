#include "batch_args.h"
#include "batch_classify.h"
#include "batch_commands.h"
#include "c_locale.h"
#include "headless_view.h"
#include "output_file.h"
#include "splat_renderer.h"
#include "transfer_function.h"
#include "view_controller.h"
#include "volume.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The main view's client area in the dialog template, in pixels.
constexpr int default_width = 612;
constexpr int default_height = 375;
constexpr int max_side = 16384;

// "WIDTHxHEIGHT", both between 1 and max_side.
bool parse_size(const std::string& word, int& width, int& height) {
    const auto x = word.find('x');
    if (x == std::string::npos)
        return false;
    return parse_c_int(word.substr(0, x), width) && parse_c_int(word.substr(x + 1), height) && width >= 1 && height >= 1 &&
           width <= max_side && height <= max_side;
}

struct RenderOptions {
    std::string output;
    int width = default_width;
    int height = default_height;
    double distance = 750.0;
    double tilt = 0.0;
    double turn = 0.0;
    double scale[3] = {1.0, 1.0, 1.0};
    int mode = 1;
    int step = 1;
    bool immediate = false;
};

// Reads the drawing options; returns 0, or the usage status after printing the reason.
int read_options(const BatchArgs& args, RenderOptions& o) {
    const auto find = [&](const char* name) -> const std::string* {
        const auto it = args.options.find(name);
        return it == args.options.end() ? nullptr : &it->second;
    };
    if (const std::string* w = find("--output"))
        o.output = *w;
    else
        return batch_usage_error("render needs --output");
    if (const std::string* w = find("--size"); w && !parse_size(*w, o.width, o.height))
        return batch_usage_error("--size needs WIDTHxHEIGHT (1 to 16384 each), not '" + *w + "'");
    const std::pair<const char*, double*> numbers[] = {
        {"--distance", &o.distance}, {"--tilt", &o.tilt}, {"--turn", &o.turn}};
    for (const auto& [name, value] : numbers)
        if (const std::string* w = find(name);
            w && (!parse_c_double(*w, *value) || !std::isfinite(*value)))
            return batch_usage_error(std::string(name) + " needs a finite number, not '" + *w +
                                     "'");
    if (const std::string* w = find("--axis-scale");
        w && !parse_c_axis_scale(*w, o.scale[0], o.scale[1], o.scale[2]))
        return batch_usage_error("--axis-scale needs three positive numbers SX,SY,SZ, not '" +
                                 *w + "'");
    if (const std::string* w = find("--mode"); w && !parse_c_int(*w, o.mode))
        return batch_usage_error("--mode needs a whole number, not '" + *w + "'");
    if (const std::string* w = find("--step"); w && (!parse_c_int(*w, o.step) || o.step < 1))
        return batch_usage_error("--step needs a whole number of at least 1, not '" + *w + "'");
    o.immediate = find("--immediate") != nullptr;
    return 0;
}

// The picture as the window shows it: RGB, the cleared background black. Encoded in memory
// first, then written whole or not at all, never over the grid it came from.
bool write_png(const std::string& path, const std::string& grid,
               const std::vector<unsigned char>& rgba, int width, int height) {
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), rgba.data() + static_cast<std::size_t>(y) * width * 4,
                    static_cast<std::size_t>(width) * 4);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) ||
        !image.convertToFormat(QImage::Format_RGB888).save(&buffer, "PNG")) {
        std::fputs("ERROR: the picture could not be encoded as PNG\n", stderr);
        return false;
    }
    if (write_whole_file(path, grid, png.constData(), static_cast<std::size_t>(png.size())))
        return true;
    std::fprintf(stderr, "ERROR: cannot write '%s'\n", path.c_str());
    return false;
}

} // namespace

int run_render(int argc, char** argv) {
    const BatchArgs args =
        parse_batch_args(argc, argv,
                         {"--curves", "--low", "--range", "--missing", "--intermediate", "--output",
                          "--size", "--distance", "--tilt", "--turn", "--axis-scale", "--mode",
                          "--step"},
                         {"--immediate"});
    if (args.help) {
        std::fputs(batch_usage, stdout);
        return 0;
    }
    if (!args.error.empty())
        return batch_usage_error(args.error);
    RenderOptions o;
    if (const int status = read_options(args, o))
        return status;

    Volume data;
    Volume colour;
    TransferFunction curves[4];
    if (const int status = batch_load_and_classify(args, data, colour, curves))
        return status;
    colour.rgba = true;

    // The main view's scene, wired as the dialog wires it.
    ViewController controller;
    controller.camera.set_distance(o.distance);
    controller.lighting_enabled = true;
    controller.drag_y_axis = 1;
    controller.drag_x_axis = 0;
    controller.drag_y_scale = 1;
    controller.drag_x_scale = 1;
    // As a left-button drag would move it.
    controller.camera.rotate_left(Mat3::axis_rotation(1, o.tilt));
    controller.camera.rotate_right(Mat3::axis_rotation(0, o.turn));

    SplatRenderer renderer;
    renderer.camera = &controller.camera;
    renderer.volume = &colour;
    // The dialog takes these from the still empty colour volume; the colour path ignores them.
    renderer.value_std_dev = 0.0;
    renderer.value_mean = 0.0;
    renderer.step_x = renderer.step_y = renderer.step_z = o.step;
    renderer.mode = o.mode;
    renderer.axis_scale = Vec3{o.scale[0], o.scale[1], o.scale[2]};
    renderer.immediate = o.immediate;

    HeadlessView view;
    if (!view.open(o.width, o.height)) {
        std::fprintf(stderr, "ERROR: cannot draw without a window: %s\n", view.error().c_str());
        return 1;
    }
    view.projection_enabled = true;
    view.draw_list = {&controller, &renderer};
    std::vector<unsigned char> pixels;
    if (!view.repaint() || !view.read_pixels(pixels)) {
        std::fputs("ERROR: the frame could not be drawn\n", stderr);
        return 1;
    }
    return write_png(o.output, args.positional[0], pixels, o.width, o.height) ? 0 : 1;
}
