#pragma once

#include "import_prompts.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Records every message and each stage that reports progress; answers the save question from a
// script and can cancel after a number of progress calls or in a given stage.
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
    bool progress(ImportStage stage, std::int64_t done, std::int64_t total) override {
        ++progress_calls;
        if (stages.empty() || stages.back() != stage)
            stages.push_back(stage);
        if (on_progress)
            on_progress(stage);
        return progress_calls <= cancel_after && stage != cancel_in;
    }
    bool choose_variables(const std::string& file, const std::vector<VariableCandidate>& candidates,
                          VariableChoice& choice) override {
        offered.push_back(candidates);
        if (!choice_answer)
            return ImportPrompts::choose_variables(file, candidates, choice);
        choice = *choice_answer;
        return true;
    }

    std::vector<std::string> messages;
    std::vector<std::string> save_initial;
    std::string save_answer; // empty: the save dialog is cancelled
    int progress_calls = 0;
    int cancel_after = 1 << 30;
    std::vector<ImportStage> stages;      // each stage once per run of calls
    std::optional<ImportStage> cancel_in; // answers Cancel the first time this stage reports
    std::function<void(ImportStage)> on_progress;
    std::vector<std::vector<VariableCandidate>> offered; // each chooser's list
    std::optional<VariableChoice> choice_answer;         // none: the chooser refuses
};
