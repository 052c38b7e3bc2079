#pragma once

#include "dialog_prompts.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

class QWidget;

// Answers the dialog's questions with Qt's message boxes and file dialogs. An import that
// runs longer than about half a second gets a progress dialog naming the file, whose Cancel
// stops the import.
class QtPrompts final : public DialogPrompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtPrompts();
    QtPrompts(const QtPrompts&) = delete;
    QtPrompts& operator=(const QtPrompts&) = delete;

    void show_message(const std::string& text) override;
    bool ask_file(FileQuestion question, const std::string& initial, std::string& chosen) override;
    bool ask_text(const std::string& title, const std::string& label, std::string& text) override;
    int run_modal(QDialog& dialog) override;
    void show_help(const std::string& title, const std::string& html) override;
    void begin_import(const std::string& grid_path) override;
    void end_import() override;
    bool progress(std::int64_t done, std::int64_t total) override;

    // How long an import runs before the progress dialog appears.
    static constexpr int progress_delay_ms = 500;

private:
    QWidget* parent_ = nullptr;
    QString import_name_;
    QElapsedTimer import_clock_;
    QPointer<QProgressDialog> progress_dialog_;
    bool importing_ = false;
};
