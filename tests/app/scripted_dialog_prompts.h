#pragma once

#include "dialog_prompts.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Answers the dialog's questions from a script and records what it was asked.
class ScriptedDialogPrompts final : public DialogPrompts {
public:
    void show_message(const std::string& text) override {
        messages.push_back(text);
        if (on_message)
            on_message(); // as a message box would, e.g. run an event loop
    }
    bool ask_file(FileQuestion question, const std::string& initial, std::string& chosen) override {
        questions.push_back(question);
        if (file_answers.empty())
            return false; // the file dialog is cancelled
        chosen = file_answers.front();
        file_answers.pop_front();
        return !chosen.empty();
    }
    bool ask_text(const std::string& title, const std::string&, std::string& text) override {
        text_titles.push_back(title);
        if (text_answers.empty())
            return false; // cancelled
        text = text_answers.front();
        text_answers.pop_front();
        return true;
    }
    CloseChoice ask_save_before_closing() override {
        ++close_questions;
        if (close_answers.empty())
            return CloseChoice::discard;
        const CloseChoice c = close_answers.front();
        close_answers.pop_front();
        return c;
    }
    bool choose_variables(const std::string&, const std::vector<VariableCandidate>& candidates,
                          VariableChoice& choice) override {
        offered = candidates;
        if (!variable_answer)
            return false; // the chooser is cancelled
        choice = *variable_answer;
        return true;
    }
    int run_modal(QDialog& dialog) override {
        modal_titles.push_back(dialog.windowTitle().toStdString());
        return QDialog::Accepted;
    }
    void show_help(const std::string& title, const std::string& html) override {
        help_pages.push_back(html);
    }
    void begin_import(const std::string& grid_path) override { imports.push_back(grid_path); }
    bool progress(ImportStage, std::int64_t, std::int64_t) override {
        return ++progress_calls <= cancel_after;
    }

    std::vector<std::string> messages;
    std::vector<FileQuestion> questions;
    std::deque<std::string> file_answers; // "" answers Cancel
    std::vector<std::string> text_titles;
    std::deque<std::string> text_answers; // none left answers Cancel
    std::vector<std::string> modal_titles;
    int close_questions = 0;
    std::vector<VariableCandidate> offered;
    std::optional<VariableChoice> variable_answer; // none: the chooser is cancelled
    std::deque<CloseChoice> close_answers;         // none left answers Discard
    std::vector<std::string> help_pages;
    std::vector<std::string> imports;
    std::function<void()> on_message;
    int progress_calls = 0;
    int cancel_after = 1 << 30;
};
