#pragma once

#include "import_prompts.h"

#include <string>

class QDialog;

// The questions a file dialog answers.
enum class FileQuestion {
    open_grid,         // "Open File": a grid text file
    save_intermediate, // the import's intermediate file, when the default cannot be written
    open_curves,       // "Load Curves..."
    save_curves,       // "Save Curves..."
    save_image,        // "Save Image...": a PNG of the main view
};

// The answer to "Save the curves before closing?".
enum class CloseChoice { save, discard, cancel };

// Everything the main dialog asks of a person: message boxes, file dialogs, the import's
// progress, the modal About box and the help. The program answers with Qt dialogs
// (QtPrompts); the tests answer from a script.
class DialogPrompts : public ImportPrompts {
public:
    // A file dialog; false when the person cancels. `initial` is the suggested path.
    virtual bool ask_file(FileQuestion question, const std::string& initial,
                          std::string& chosen) = 0;
    // A line of text (the axis scale); false when the person cancels. `text` holds the
    // suggestion and receives the answer.
    virtual bool ask_text(const std::string& title, const std::string& label,
                          std::string& text) = 0;
    // "Save the curves before closing?" with Save, Discard and Cancel.
    virtual CloseChoice ask_save_before_closing() = 0;
    // Runs a modal dialog (the About box) and returns its result.
    virtual int run_modal(QDialog& dialog) = 0;
    // The help page (F1): a title and an HTML text.
    virtual void show_help(const std::string& title, const std::string& html) = 0;
    // Brackets one import of `grid_path`, so that progress() can name the file.
    virtual void begin_import(const std::string& grid_path) {}
    virtual void end_import() {}

    bool ask_save_path(const std::string& initial, std::string& chosen) final {
        return ask_file(FileQuestion::save_intermediate, initial, chosen);
    }

protected:
    ~DialogPrompts() = default;
};
