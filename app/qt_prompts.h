#pragma once

#include "dialog_prompts.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

class QWidget;

// Answers the dialog's questions with Qt's message boxes and file dialogs. An import still
// running after progress_delay_ms gets a progress dialog that names the file and the stage, whose
// Cancel stops the import in any stage.
class QtPrompts final : public DialogPrompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtPrompts();
    QtPrompts(const QtPrompts&) = delete;
    QtPrompts& operator=(const QtPrompts&) = delete;

    void show_message(const std::string& text) override;
    bool ask_file(FileQuestion question, const std::string& initial, std::string& chosen) override;
    bool ask_text(const std::string& title, const std::string& label, std::string& text) override;
    CloseChoice ask_save_before_closing() override;
    bool choose_variables(const std::string& file, const std::vector<VariableCandidate>& candidates,
                          VariableChoice& choice) override;
    int run_modal(QDialog& dialog) override;
    void show_help(const std::string& title, const std::string& html) override;
    void begin_import(const std::string& grid_path) override;
    void end_import() override;
    bool progress(ImportStage stage, std::int64_t done, std::int64_t total) override;

    // How long an import runs before the progress dialog appears. The import reports progress
    // at least every few tens of milliseconds, so the dialog is up within half a second.
    static constexpr int progress_delay_ms = 300;
    // The dialog is updated (and events processed) at most this often within one stage.
    static constexpr int update_interval_ms = 20;

private:
    QWidget* parent_ = nullptr;
    QString import_name_;
    QElapsedTimer import_clock_;
    qint64 last_update_ms_ = 0;
    int shown_stage_ = -1;
    QPointer<QProgressDialog> progress_dialog_;
    bool importing_ = false;
};
