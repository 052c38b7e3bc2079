#pragma once

#include <QPlainTextEdit>

#include <string>

struct ImportResult;
class Volume;

// The text area below the main view: what was loaded (file, extents, components, intermediate
// file, statistics, import time), the last refused import after it, and what to do next.
// Read-only and never focused, so Enter keeps pressing the dialog's buttons.
class InfoText : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit InfoText(QWidget* parent);

    // After an import of `grid_path`: what was loaded, or the refusal (one line).
    void report_import(const std::string& grid_path, const ImportResult& result, const Volume& data,
                       double seconds);
    // The loaded grid has been coloured since its import.
    void coloured();
    bool colour_pending() const { return colour_pending_; }
    // The picture was coloured from other curves, values or data than those of now.
    void set_stale(bool stale);
    // What the range values do, when it is worth a word ("Range 0: nothing is coloured.").
    void set_value_note(const std::string& note);
    // Where the camera is, as the command-line words that place it there.
    void set_camera(const std::string& words);
    // The grid point under the pointer, shown first; empty when it rests over none.
    void set_probe(const std::string& words);
    const std::string& probe() const { return probe_; }

private:
    void show_text();

    std::string loaded_;          // the loaded grid's description; empty before any import
    std::string refusal_;         // the last refused import, if after it
    bool colour_pending_ = false; // imported but not classified since
    bool stale_ = false;
    std::string value_note_;
    std::string camera_;
    std::string probe_;
};
