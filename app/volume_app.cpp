#include "volume_app.h"

#include "c_locale.h"
#include "strings.h"
#include "volume_dialog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>
#include <QSurfaceFormat>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

const char* const app_usage =
    "usage: halvorn [--curves CURVES.json] [--low L] [--range R] [--distance D] [--tilt A]\n"
    "               [--turn B] [--axis-scale SX,SY,SZ] [--apply] [GRID.txt]\n"
    "  Opens the Halvorn dialog. Once it has started, and one after another:\n"
    "  --curves     loads the four curves and the two range values from the curves file,\n"
    "               as \"Load Curves...\" does;\n"
    "  --low, --range  put these numbers into the two range edits (after the curves file);\n"
    "  --distance, --tilt, --turn  place the camera: the distance from the grid's centre\n"
    "               (default 750), then a tilt and a turn in radians as a left drag would;\n"
    "  --axis-scale draws the grid stretched along x, y and z by these positive factors\n"
    "               (default 1,1,1), as \"Axis Scale...\" does;\n"
    "  GRID.txt     imports the grid as \"Open File\" does;\n"
    "  --apply      presses \"Set Transfer Func\" after the import.\n"
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

// "missing value after '--low'", worded as the other usage errors.
std::string usage_error(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return "unknown option --" + unknown.first().toStdString();
    QString error = parser.errorText();
    if (!error.isEmpty())
        error[0] = error[0].toLower();
    if (error.endsWith(QLatin1Char('.')))
        error.chop(1);
    return error.toStdString();
}

} // namespace

AppArgs parse_app_args(int argc, char** argv) {
    AppArgs args;
    // Qt's own single-dash options, and the values of those that take one, are QApplication's;
    // the value of one of ours (a negative number such as "--tilt -0.5") is not.
    static const char* const valued[] = {"--curves", "--low",  "--range", "--distance",
                                         "--tilt",   "--turn", "--axis-scale"};
    QStringList words{QStringLiteral("halvorn")};
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (std::find(std::begin(valued), std::end(valued), word) != std::end(valued) &&
            i + 1 < argc) {
            words << QString::fromLocal8Bit(argv[i]) << QString::fromLocal8Bit(argv[i + 1]);
            ++i;
            continue;
        }
        if (word.size() > 1 && word[0] == '-' && word[1] != '-' && word != "-h") {
            if (is_qt_option_with_value(word))
                ++i;
            continue;
        }
        words << QString::fromLocal8Bit(argv[i]);
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption apply(QStringLiteral("apply"));
    const QCommandLineOption curves(QStringLiteral("curves"), QString(), QStringLiteral("file"));
    const QString value_name = QStringLiteral("number");
    const QCommandLineOption low(QStringLiteral("low"), QString(), value_name);
    const QCommandLineOption range(QStringLiteral("range"), QString(), value_name);
    const QCommandLineOption distance(QStringLiteral("distance"), QString(), value_name);
    const QCommandLineOption tilt(QStringLiteral("tilt"), QString(), value_name);
    const QCommandLineOption turn(QStringLiteral("turn"), QString(), value_name);
    const QCommandLineOption axis_scale(QStringLiteral("axis-scale"), QString(),
                                        QStringLiteral("factors"));
    parser.addOptions({help, version, apply, curves, low, range, distance, tilt, turn, axis_scale});
    if (!parser.parse(words)) {
        args.error = usage_error(parser);
        return args;
    }
    args.help = parser.isSet(help);
    args.version = parser.isSet(version);
    args.apply = parser.isSet(apply);
    if (parser.isSet(curves)) {
        args.curves_path = parser.value(curves).toLocal8Bit().toStdString();
        if (args.curves_path.empty()) {
            args.error = "option --curves needs a value, not an empty word";
            return args;
        }
    }
    // Each number a whole finite word in the C locale.
    const auto number = [&](const QCommandLineOption& option, std::optional<double>& out) {
        if (!parser.isSet(option))
            return true;
        const std::string word = parser.value(option).toStdString();
        double v = 0.0;
        if (!parse_c_double(word, v) || !std::isfinite(v)) {
            args.error = "--" + option.names().first().toStdString() +
                         " needs a finite number, not '" + word + "'";
            return false;
        }
        out = v;
        return true;
    };
    std::optional<double> tilt_value, turn_value;
    if (!number(low, args.low) || !number(range, args.range) ||
        !number(distance, args.distance) || !number(tilt, tilt_value) ||
        !number(turn, turn_value))
        return args;
    args.tilt = tilt_value.value_or(0.0);
    args.turn = turn_value.value_or(0.0);
    if (parser.isSet(axis_scale)) {
        const std::string word = parser.value(axis_scale).toStdString();
        double x = 1.0, y = 1.0, z = 1.0;
        if (!parse_c_axis_scale(word, x, y, z)) {
            args.error = "--axis-scale needs three positive numbers SX,SY,SZ, not '" + word + "'";
            return args;
        }
        args.axis_scale = {x, y, z};
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        args.error = "more than one grid file";
        return args;
    }
    if (!positional.isEmpty())
        args.grid_path = positional.first().toLocal8Bit().toStdString();
    return args;
}

void queue_start_commands(CVolumeDialog& dialog, const AppArgs& args) {
    if (!args.curves_path.empty())
        dialog.after_start([&dialog, path = args.curves_path] { dialog.load_curves_file(path); });
    if (args.low || args.range)
        dialog.after_start([&dialog, low = args.low, range = args.range] {
            dialog.set_range_values(low, range);
        });
    if (args.axis_scale)
        dialog.after_start([&dialog, scale = *args.axis_scale] { dialog.set_axis_scale(scale); });
    if (args.distance || args.tilt != 0.0 || args.turn != 0.0)
        dialog.after_start([&dialog, distance = args.distance, tilt = args.tilt,
                            turn = args.turn] { dialog.place_camera(distance, tilt, turn); });
    if (!args.grid_path.empty())
        dialog.after_start([&dialog, path = args.grid_path] { dialog.open_grid_path(path); });
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
    queue_start_commands(dialog, args);
    dialog.DoModal(); // the result is not examined
    return 0;
}
