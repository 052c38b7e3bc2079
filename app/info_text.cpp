#include "info_text.h"

#include "c_locale.h"
#include "grid_import.h"
#include "volume.h"

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

InfoText::InfoText(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    show_text();
}

void InfoText::show_text() {
    std::string text;
    if (!probe_.empty())
        text = "Under the pointer: " + probe_ + "\n";
    if (loaded_.empty())
        text += "No grid loaded. Open a grid text file with \"Open File\" (Ctrl+O), or name one "
                "on the command line: halvorn GRID.txt";
    else
        text += loaded_;
    if (!refusal_.empty())
        text += "\n" + refusal_;
    if (colour_pending_)
        text += "\nPress \"Set Transfer Func\" to colour it.";
    else if (stale_)
        text += "\nThe picture does not show the current curves, values and data: press \"Set "
                "Transfer Func\".";
    if (!value_note_.empty())
        text += "\n" + value_note_;
    if (!camera_.empty())
        text += "\nCamera: " + camera_;
    if (toPlainText().toStdString() != text)
        setPlainText(QString::fromStdString(text));
}

void InfoText::set_stale(bool stale) {
    if (stale_ == stale)
        return;
    stale_ = stale;
    show_text();
}

void InfoText::set_value_note(const std::string& note) {
    if (value_note_ == note)
        return;
    value_note_ = note;
    show_text();
}

void InfoText::set_probe(const std::string& words) {
    if (probe_ == words)
        return;
    probe_ = words;
    show_text();
}

void InfoText::set_camera(const std::string& words) {
    if (camera_ == words)
        return;
    camera_ = words;
    show_text();
}

void InfoText::coloured() {
    if (!colour_pending_)
        return;
    colour_pending_ = false;
    show_text();
}

void InfoText::report_import(const std::string& grid_path, const ImportResult& result,
                             const Volume& d, double seconds) {
    if (!result.ok) {
        const std::string name =
            grid_path.empty() ? std::string("(no file)") : file_name(grid_path);
        std::string error = result.error;
        std::replace(error.begin(), error.end(), '\n', ' '); // one line, whatever the message
        if (error.rfind("ERROR: ", 0) == 0)
            error.erase(0, 7); // "Not imported" says it already
        refusal_ = result.cancelled ? "The import of " + name + " was cancelled."
                                    : "Not imported: " + name + ": " + error;
        show_text();
        return;
    }
    const std::int64_t samples = d.sample_count();
    loaded_ = file_name(grid_path) +
              format_c(": %d x %d x %d grid points, %d component%s", d.nx, d.ny, d.nz, d.ncomp,
                       d.ncomp == 1 ? "" : "s") +
              "\nIntermediate file: " + result.intermediate_path +
              "\nValid samples: " + grouped(d.stat_count) + " of " + grouped(samples) +
              (d.stat_count > 0 ? format_c("; min %.6g, max %.6g, mean %.6g, std dev %.6g",
                                           d.stat_min, d.stat_max, d.stat_mean, d.stat_std_dev)
                                : std::string("; no statistics")) +
              format_c("\nImported in %.2f s.", seconds);
    // A NetCDF file: its variables, dimensions and coordinate ranges, and low values.
    for (const std::string& line : result.description.lines())
        loaded_ += "\n" + line;
    refusal_.clear();
    colour_pending_ = true;
    show_text();
}
