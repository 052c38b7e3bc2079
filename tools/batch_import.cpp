#include "batch_import.h"

#include "grid_import.h"
#include "volume.h"

#include <cstdio>

namespace {

// Keeps the last message; the save question is answered "no", since a batch run has nobody
// to ask.
class BatchPrompts final : public ImportPrompts {
public:
    void show_message(const std::string& text) override { last_message = text; }
    bool ask_save_path(const std::string&, std::string&) override { return false; }
    std::string last_message;
};

void print_line(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace

bool batch_import(const std::string& grid_path, const std::string& intermediate_path, Volume& data,
                  Volume& colour) {
    BatchPrompts prompts;
    ImportOptions options;
    options.intermediate_path = intermediate_path;
    const ImportResult result = import_grid(grid_path, data, colour, prompts, options);
    if (result.ok)
        return true;
    // The dialog's last message box is the failure a person would read; failures that show
    // none in the dialog are still named here.
    print_line(prompts.last_message.empty() ? result.error : prompts.last_message);
    return false;
}
