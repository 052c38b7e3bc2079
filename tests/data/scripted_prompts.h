#pragma once

#include "import_prompts.h"

#include <string>
#include <vector>

// Records every message; answers the save question from a script and can cancel progress.
class ScriptedPrompts final : public ImportPrompts {
public:
    void show_message(const std::string& text) override { messages.push_back(text); }
    bool ask_save_path(const std::string& initial, std::string& chosen) override {
        save_initial.push_back(initial);
        if (save_answer.empty())
            return false;
        chosen = save_answer;
        return true;
    }
    bool progress(std::int64_t done, std::int64_t total) override {
        ++progress_calls;
        return progress_calls <= cancel_after;
    }

    std::vector<std::string> messages;
    std::vector<std::string> save_initial;
    std::string save_answer; // empty: the save dialog is cancelled
    int progress_calls = 0;
    int cancel_after = 1 << 30;
};
