#pragma once

#include <cstdint>
#include <string>

// What the grid import needs from a person: the dialog answers with message boxes and file
// dialogs, the batch tool with standard error, the tests with a script.
class ImportPrompts {
public:
    // A message box with an OK button.
    virtual void show_message(const std::string& text) = 0;
    // A save-file dialog starting at `initial`; false when the person cancels.
    virtual bool ask_save_path(const std::string& initial, std::string& chosen) = 0;
    // Progress of a long conversion, in bytes of grid text; false asks to stop.
    virtual bool progress(std::int64_t done, std::int64_t total) { return true; }

protected:
    ~ImportPrompts() = default;
};
