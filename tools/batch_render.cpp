#include "batch_commands.h"
#include "batch_scene.h"
#include "batch_sequence.h"
#include "c_locale.h"
#include "png_image.h"
#include "qt_label_maker.h"
#include "scene.h"
#include "shared_constants.h"

#include <QGuiApplication>

#include <cstdio>
#include <memory>
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
    return parse_c_int(word.substr(0, x), width) && parse_c_int(word.substr(x + 1), height) &&
           width >= 1 && height >= 1 && width <= max_side && height <= max_side;
}

// The drawing options beside the scene's.
struct DrawOptions {
    std::string output;
    int width = default_width;
    int height = default_height;
    int mode = 1;
    int step = 1;
    bool immediate = false; // --immediate, the older spelling of --draw immediate
    bool legend = false;
    bool axes = false;
};

int read_draw_options(const OptionWords& words, DrawOptions& o) {
    const auto find = [&](const char* name) -> const std::string* {
        const auto it = words.find(name);
        return it == words.end() ? nullptr : &it->second;
    };
    if (const std::string* w = find("--output"))
        o.output = *w;
    else
        return batch_usage_error("render needs --output");
    if (const std::string* w = find("--size"); w && !parse_size(*w, o.width, o.height))
        return batch_usage_error("--size needs WIDTHxHEIGHT (1 to 16384 each), not '" + *w + "'");
    // The renderer draws fans for any mode but 0; the command line takes the two it means.
    if (const std::string* w = find("--mode");
        w && (!parse_c_int(*w, o.mode) || (o.mode != 0 && o.mode != 1)))
        return batch_usage_error("--mode needs 0 (quads) or 1 (fans), not '" + *w + "'");
    if (const std::string* w = find("--step"); w && (!parse_c_int(*w, o.step) || o.step < 1))
        return batch_usage_error("--step needs a whole number of at least 1, not '" + *w + "'");
    o.immediate = find("--immediate") != nullptr;
    o.legend = find("--legend") != nullptr;
    o.axes = find("--axes") != nullptr;
    return 0;
}

} // namespace

int run_render(int argc, char** argv) {
    ProgramWords words;
    SceneOptions options;
    if (const int status =
            batch_words(argc, argv, {"--output", "--size", "--mode", "--step", "--turntable"},
                        {"--immediate", "--legend", "--axes", "--frames"}, words, options))
        return status;
    if (words.help) {
        std::fputs(batch_usage, stdout);
        return 0;
    }
    DrawOptions o;
    if (const int status = read_draw_options(words.options, o))
        return status;
    SequenceOptions sequence;
    if (const int status = read_sequence_options(words.options, sequence))
        return status;

    Scene scene;
    // Frames classify each position themselves: none before the first.
    if (const int status = batch_classify_scene(words, options, scene, !sequence.frames))
        return status;
    scene.place_camera(options.distance.value_or(start_distance), options.tilt, options.turn,
                       options.spin);
    if (options.axis_scale)
        scene.set_axis_scale(*options.axis_scale);
    SplatRenderer& renderer = scene.splat_renderer;
    renderer.step_x = renderer.step_y = renderer.step_z = o.step;
    renderer.mode = o.mode;
    renderer.drawing =
        o.immediate ? SplatDrawing::immediate : options.drawing.value_or(SplatDrawing::arrays);
    // The overlays' words are drawn with Qt's fonts, which need an application object; the
    // offscreen platform asks for no display.
    std::unique_ptr<QGuiApplication> fonts;
    if (o.legend || o.axes) {
        static int app_argc = 3;
        static char name[] = "halvorn-batch", platform[] = "-platform", offscreen[] = "offscreen";
        static char* app_argv[] = {name, platform, offscreen, nullptr};
        // Qt's own notes (a missing runtime folder, say) are not the tool's messages.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "halvorn-batch: %s\n", text.toLocal8Bit().constData());
        });
        if (!QGuiApplication::instance())
            fonts = std::make_unique<QGuiApplication>(app_argc, app_argv);
        scene.label_maker = &qt_label_maker();
        scene.legend.shown = o.legend;
        scene.axes.shown = o.axes;
    }

    if (sequence.any())
        return write_sequence(scene, sequence, o.output, o.width, o.height);
    return write_frame(scene, o.output, o.width, o.height);
}
