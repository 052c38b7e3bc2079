// The text area below the main view: what was loaded, its statistics and what to do next.
#include "volume_dialog.h"

#include "c_locale.h"
#include "dialog_units.h"
#include "grid_import.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// "1,234,567": counts are easier to read grouped, whatever the desktop's locale.
std::string grouped(std::int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), 1, ',');
    return n < 0 ? "-" + digits : digits;
}

std::string file_name(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).fileName().toStdString();
}

} // namespace

void CVolumeDialog::create_info_text() {
    info_text.setParent(this);
    info_text.setReadOnly(true);
    // Out of the tab order and never focused: Enter keeps pressing the dialog's buttons.
    info_text.setFocusPolicy(Qt::NoFocus);
    info_text.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    info_text.setGeometry(dialog_rect(16, 252, 408, 80, dialog_base_units(font())));
    show_info();
}

void CVolumeDialog::show_info() {
    std::string text;
    if (info_loaded_.empty())
        text = "No grid loaded. Open a grid text file with \"Open File\" (Ctrl+O), or name one "
               "on the command line: halvorn GRID.txt";
    else
        text = info_loaded_;
    if (!info_refusal_.empty())
        text += "\n" + info_refusal_;
    if (colour_pending_)
        text += "\nPress \"Set Transfer Func\" to colour it.";
    info_text.setPlainText(QString::fromStdString(text));
}

void CVolumeDialog::report_import(const std::string& grid_path, const ImportResult& result,
                                  double seconds) {
    if (!result.ok) {
        const std::string name = grid_path.empty() ? std::string("(no file)") : file_name(grid_path);
        std::string error = result.error;
        std::replace(error.begin(), error.end(), '\n', ' '); // one line, whatever the message
        if (error.rfind("ERROR: ", 0) == 0)
            error.erase(0, 7); // "Not imported" says it already
        info_refusal_ = result.cancelled ? "The import of " + name + " was cancelled."
                                         : "Not imported: " + name + ": " + error;
        show_info();
        return;
    }
    const Volume& d = data_volume;
    const std::int64_t samples = d.sample_count();
    info_loaded_ =
        file_name(grid_path) +
        format_c(": %d x %d x %d grid points, %d component%s", d.nx, d.ny, d.nz, d.ncomp,
                 d.ncomp == 1 ? "" : "s") +
        "\nIntermediate file: " + result.intermediate_path + "\nValid samples: " +
        grouped(d.stat_count) + " of " + grouped(samples) +
        (d.stat_count > 0 ? format_c("; min %.6g, max %.6g, mean %.6g, std dev %.6g", d.stat_min,
                                     d.stat_max, d.stat_mean, d.stat_std_dev)
                          : std::string("; no statistics")) +
        format_c("\nImported in %.2f s.", seconds);
    info_refusal_.clear();
    colour_pending_ = true;
    show_info();
}
