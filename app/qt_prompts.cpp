#include "qt_prompts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include <algorithm>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("QtPrompts", text);
}

QString caption() {
    return QStringLiteral("Halvorn1");
}

} // namespace

QtPrompts::~QtPrompts() {
    delete progress_dialog_.data();
}

void QtPrompts::show_message(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, caption(), QString::fromStdString(text), QMessageBox::Ok,
                    parent_);
    box.exec();
}

bool QtPrompts::ask_file(FileQuestion question, const std::string& initial, std::string& chosen) {
    const QString start = QString::fromStdString(initial);
    QString path;
    switch (question) {
    case FileQuestion::open_grid:
        path = QFileDialog::getOpenFileName(parent_, tr("Open"), start,
                                            tr("Text Files (*.txt);;All Files (*)"));
        break;
    case FileQuestion::save_intermediate:
        // The save dialog asks before it overwrites an existing file.
        path = QFileDialog::getSaveFileName(parent_, tr("Save As"), start);
        break;
    case FileQuestion::open_curves:
        path = QFileDialog::getOpenFileName(parent_, tr("Load Curves"), start,
                                            tr("Curves Files (*.json);;All Files (*)"));
        break;
    case FileQuestion::save_curves:
        path = QFileDialog::getSaveFileName(parent_, tr("Save Curves"), start,
                                            tr("Curves Files (*.json);;All Files (*)"));
        break;
    case FileQuestion::save_image:
        path = QFileDialog::getSaveFileName(parent_, tr("Save Image"), start,
                                            tr("PNG Images (*.png);;All Files (*)"));
        break;
    }
    if (path.isEmpty())
        return false;
    chosen = path.toStdString();
    return true;
}

bool QtPrompts::ask_text(const std::string& title, const std::string& label, std::string& text) {
    bool ok = false;
    const QString answer = QInputDialog::getText(
        parent_, QString::fromStdString(title), QString::fromStdString(label), QLineEdit::Normal,
        QString::fromStdString(text), &ok);
    if (ok)
        text = answer.toStdString();
    return ok;
}

int QtPrompts::run_modal(QDialog& dialog) {
    return dialog.exec();
}

void QtPrompts::show_help(const std::string& title, const std::string& html) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(html), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::RichText);
    box.exec();
}

void QtPrompts::begin_import(const std::string& grid_path) {
    import_name_ = QFileInfo(QString::fromStdString(grid_path)).fileName();
    import_clock_.start();
    importing_ = true;
}

void QtPrompts::end_import() {
    importing_ = false;
    delete progress_dialog_.data();
}

bool QtPrompts::progress(std::int64_t done, std::int64_t total) {
    if (!importing_)
        return true;
    if (!progress_dialog_) {
        if (import_clock_.elapsed() < progress_delay_ms)
            return true;
        auto* dialog = new QProgressDialog(tr("Importing \"%1\"...").arg(import_name_),
                                           tr("Cancel"), 0, 1000, parent_);
        dialog->setWindowTitle(caption());
        // Application-modal: while events are processed below, nothing else takes input.
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setMinimumDuration(0);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->show();
        progress_dialog_ = dialog;
    }
    if (total > 0) {
        const double fraction = std::clamp(static_cast<double>(done) / total, 0.0, 1.0);
        progress_dialog_->setValue(static_cast<int>(fraction * 1000.0));
    } else {
        progress_dialog_->setRange(0, 0); // size unknown (a pipe): a busy indicator
    }
    QCoreApplication::processEvents();
    return progress_dialog_ && !progress_dialog_->wasCanceled();
}
