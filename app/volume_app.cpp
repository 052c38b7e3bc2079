#include "volume_app.h"

#include "program_words.h"
#include "strings.h"
#include "volume_dialog.h"

#include <QApplication>
#include <QSurfaceFormat>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

const char* const app_usage =
    "usage: halvorn [--curves CURVES.json] [--preset NAME[,NAME]] [--low L] [--range R]\n"
    "               [--distance D] [--tilt A] [--turn B] [--spin C] [--axis-scale SX,SY,SZ]\n"
    "               [--var V[,V...]] [--components DIM] [--draw immediate|arrays|shaders]\n"
    "               [--no-confirm] [--apply] [GRID]\n"
    "  Opens the Halvorn dialog. Once it has started, and one after another:\n"
    "  --curves     loads the four curves and the two range values from the curves file,\n"
    "               as \"Load Curves...\" does (a ParaView colour-map preset is fitted into\n"
    "               the curves and keeps the range values);\n"
    "  --preset     sets curves as \"Colour Presets\" and \"Opacity Presets\" do: a colour\n"
    "               preset (viridis, cool-warm, temperature, grey), an opacity preset (ramp,\n"
    "               tent, step) or one of each (--preset viridis,ramp); without --curves a\n"
    "               colour preset alone comes with the ramp;\n"
    "  --low, --range  put these numbers into the two range edits (after the curves file);\n"
    "  --distance, --tilt, --turn, --spin  place the camera: the distance from the grid's\n"
    "               centre (default 750), then a tilt and a turn in radians as a left drag\n"
    "               would, then a spin about the grid's up axis as a turntable drag would\n"
    "               (the text area shows these words for the camera of the moment);\n"
    "  --axis-scale draws the grid stretched along x, y and z by these factors (default\n"
    "               1,1,1; a negative one flips that axis), as \"Axis Scale...\" does;\n"
    "  --draw       how the splats reach GL, as \"Drawing\" in the menu chooses;\n"
    "  GRID         imports the grid (a grid text file or a NetCDF file) as \"Open File\"\n"
    "               does; --var names the NetCDF variables whose values become the components,\n"
    "               or one variable whose dimension --components names (else the dialog asks\n"
    "               when the file holds several candidates);\n"
    "  --apply      presses \"Set Transfer Func\" after the import;\n"
    "  --no-confirm ends without asking to save changed curves (for scripts).\n"
    "  -h, --help   shows this text; --version shows the version.\n";

namespace {

// Qt's own options that take a value (QApplication removes them from argv).
bool is_qt_option_with_value(const std::string& word) {
    static const char* const names[] = {"-platform",        "-platformpluginpath",
                                        "-platformtheme",   "-plugin",
                                        "-display",         "-geometry",
                                        "-qwindowgeometry", "-qwindowtitle",
                                        "-qwindowicon",     "-style",
                                        "-stylesheet",      "-session"};
    for (const char* name : names)
        if (word == name)
            return true;
    return false;
}

// True when Qt could reach a display (or was told which platform to use).
bool display_available() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && value[0] != '\0')
            return true;
    return false;
}

} // namespace

AppArgs parse_app_args(int argc, char** argv) {
    AppArgs args;
    // Qt's own single-dash options, and the values of those that take one, are QApplication's;
    // the value of one of ours (a negative number such as "--tilt -0.5") is not.
    const std::vector<std::string> valued = {"--curves", "--low",        "--range",  "--distance",
                                             "--tilt",   "--turn",       "--spin",   "--axis-scale",
                                             "--var",    "--components", "--preset", "--draw"};
    std::vector<std::string> words{"halvorn"};
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (std::find(valued.begin(), valued.end(), word) != valued.end() && i + 1 < argc) {
            words.push_back(word);
            words.push_back(argv[++i]);
            continue;
        }
        if (word.size() > 1 && word[0] == '-' && word[1] != '-' && word != "-h") {
            if (is_qt_option_with_value(word))
                ++i;
            continue;
        }
        words.push_back(word);
    }

    const ProgramWords parsed =
        parse_program_words(words, valued, {"--apply", "--no-confirm", "--version"});
    if (!parsed.error.empty()) {
        args.error = parsed.error;
        return args;
    }
    args.help = parsed.help;
    args.version = parsed.options.count("--version") > 0;
    args.apply = parsed.options.count("--apply") > 0;
    args.no_confirm = parsed.options.count("--no-confirm") > 0;
    if (!read_scene_options(parsed.options, args.scene, args.error))
        return args;
    if (parsed.positional.size() > 1) {
        args.error = "more than one grid file";
        return args;
    }
    if (!parsed.positional.empty())
        args.grid_path = parsed.positional.front();
    return args;
}

void queue_start_commands(CVolumeDialog& dialog, const AppArgs& args) {
    const SceneOptions& o = args.scene;
    if (!o.curves_path.empty())
        dialog.after_start([&dialog, path = o.curves_path] { dialog.load_curves_file(path); });
    if (o.preset)
        dialog.after_start([&dialog, choice = *o.preset] { dialog.apply_preset(choice); });
    if (o.low || o.range)
        dialog.after_start(
            [&dialog, low = o.low, range = o.range] { dialog.set_range_values(low, range); });
    if (o.axis_scale)
        dialog.after_start([&dialog, scale = *o.axis_scale] { dialog.set_axis_scale(scale); });
    if (o.drawing)
        dialog.after_start([&dialog, drawing = *o.drawing] { dialog.set_drawing(drawing); });
    if (o.distance || o.tilt != 0.0 || o.turn != 0.0 || o.spin != 0.0)
        dialog.after_start([&dialog, distance = o.distance, tilt = o.tilt, turn = o.turn,
                            spin = o.spin] { dialog.place_camera(distance, tilt, turn, spin); });
    if (!args.grid_path.empty()) {
        ImportOptions import;
        import.variables = o.variables;
        import.components_dimension = o.components;
        dialog.after_start(
            [&dialog, path = args.grid_path, import] { dialog.open_grid_path(path, import); });
    }
    if (args.apply)
        dialog.after_start([&dialog] { dialog.on_set_transfer_func(); });
}

void set_view_gl_format() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
}

int CVolumeApp::InitInstance(int argc, char** argv) {
    // The words are read before Qt starts, so --help and bad usage need no display.
    const AppArgs args = parse_app_args(argc, argv);
    if (!args.error.empty()) {
        std::fprintf(stderr, "halvorn: %s\n%s", args.error.c_str(), app_usage);
        return 2;
    }
    if (args.help) {
        std::fputs(app_usage, stdout);
        return 0;
    }
    if (args.version) {
        std::printf("halvorn %s\n", app_version);
        return 0;
    }
    if (!display_available()) {
        std::fputs("halvorn: no display to open the dialog on (DISPLAY is not set); "
                   "halvorn-batch render draws the picture without one\n",
                   stderr);
        return 1;
    }

    set_view_gl_format();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setApplicationName(QStringLiteral("Halvorn1"));
    QApplication::setApplicationVersion(QString::fromLatin1(app_version));

    CVolumeDialog dialog;
    dialog.set_confirm_end(!args.no_confirm);
    queue_start_commands(dialog, args);
    dialog.DoModal(); // the result is not examined
    return 0;
}
