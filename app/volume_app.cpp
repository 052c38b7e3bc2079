#include "volume_app.h"

#include "strings.h"
#include "volume_dialog.h"

#include <QApplication>
#include <QSurfaceFormat>

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const app_usage =
    "usage: halvorn [--curves CURVES.json] [GRID.txt]\n"
    "  Opens the Halvorn dialog. With GRID.txt, imports the grid as \"Open File\" does once\n"
    "  the dialog has started; with --curves, first loads the four curves and the two range\n"
    "  values from the curves file, as \"Load Curves...\" does.\n";

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
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.size() > 1 && word[0] == '-' && word[1] != '-' && word != "-h") {
            if (is_qt_option_with_value(word))
                ++i; // left to QApplication
            continue;
        }
        if (word == "--help" || word == "-h") {
            args.help = true;
        } else if (word == "--version") {
            args.version = true;
        } else if (word == "--curves") {
            if (i + 1 >= argc) {
                args.error = "--curves needs a file name";
                return args;
            }
            args.curves_path = argv[++i];
        } else if (word.rfind("--curves=", 0) == 0) {
            args.curves_path = word.substr(std::strlen("--curves="));
        } else if (word.size() > 1 && word[0] == '-') {
            args.error = "unknown option " + word;
            return args;
        } else if (args.grid_path.empty()) {
            args.grid_path = word;
        } else {
            args.error = "more than one grid file";
            return args;
        }
    }
    return args;
}

void queue_start_commands(CVolumeDialog& dialog, const AppArgs& args) {
    if (!args.curves_path.empty())
        dialog.after_start([&dialog, path = args.curves_path] { dialog.load_curves_file(path); });
    if (!args.grid_path.empty())
        dialog.after_start([&dialog, path = args.grid_path] { dialog.open_grid_path(path); });
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

    // Every view draws immediate-mode GL with a depth buffer.
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setApplicationName(QStringLiteral("Halvorn1"));
    QApplication::setApplicationVersion(QString::fromLatin1(app_version));

    CVolumeDialog dialog;
    queue_start_commands(dialog, args);
    dialog.DoModal(); // the result is not examined
    return 0;
}
