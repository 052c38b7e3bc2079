#include "qt_prompts.h"

#include "variable_chooser.h"

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
        path = QFileDialog::getOpenFileName(
            parent_, tr("Open"), start,
            tr("Grid Files (*.txt *.nc *.nc4 *.cdf);;Text Files (*.txt);;NetCDF Files (*.nc "
               "*.nc4 *.cdf);;All Files (*)"));
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
    const QString answer =
        QInputDialog::getText(parent_, QString::fromStdString(title), QString::fromStdString(label),
                              QLineEdit::Normal, QString::fromStdString(text), &ok);
    if (ok)
        text = answer.toStdString();
    return ok;
}

bool QtPrompts::choose_variables(const std::string& file,
                                 const std::vector<VariableCandidate>& candidates,
                                 VariableChoice& choice) {
    CVariableChooser chooser(file, candidates, parent_);
    if (chooser.exec() != QDialog::Accepted)
        return false;
    choice = chooser.choice();
    return !choice.variables.empty();
}

CloseChoice QtPrompts::ask_save_before_closing() {
    QMessageBox box(QMessageBox::Question, caption(), tr("Save the curves before closing?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return CloseChoice::save;
    case QMessageBox::Discard:
        return CloseChoice::discard;
    default:
        return CloseChoice::cancel;
    }
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
    last_update_ms_ = 0;
    shown_stage_ = -1;
    importing_ = true;
}

void QtPrompts::end_import() {
    importing_ = false;
    delete progress_dialog_.data();
}

namespace {

// The part of the progress bar (of 1000) that each stage fills: the text takes most of the time.
struct StageSpan {
    int from, to;
    const char* label;
};

StageSpan stage_span(ImportStage stage) {
    switch (stage) {
    case ImportStage::converting:
        return {0, 800, QT_TRANSLATE_NOOP("QtPrompts", "Converting the text of \"%1\"...")};
    case ImportStage::writing:
        return {800, 840, QT_TRANSLATE_NOOP("QtPrompts", "Writing the intermediate file...")};
    case ImportStage::reading_back:
        return {840, 870, QT_TRANSLATE_NOOP("QtPrompts", "Reading the intermediate file back...")};
    case ImportStage::loading:
        break;
    }
    return {870, 1000, QT_TRANSLATE_NOOP("QtPrompts", "Mirroring and computing statistics...")};
}

} // namespace

bool QtPrompts::progress(ImportStage stage, std::int64_t done, std::int64_t total) {
    if (!importing_)
        return true;
    const qint64 now = import_clock_.elapsed();
    const bool new_stage = static_cast<int>(stage) != shown_stage_;
    if (!progress_dialog_) {
        if (now < progress_delay_ms)
            return true;
        auto* dialog = new QProgressDialog(QString(), tr("Cancel"), 0, 1000, parent_);
        dialog->setWindowTitle(caption());
        // Application-modal: while events are processed below, nothing else takes input.
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setMinimumDuration(0);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->show();
        progress_dialog_ = dialog;
    } else if (!new_stage && now - last_update_ms_ < update_interval_ms) {
        return !progress_dialog_->wasCanceled();
    }
    const StageSpan span = stage_span(stage);
    if (new_stage) {
        shown_stage_ = static_cast<int>(stage);
        // Only the first stage names the file (arg() warns of a label without a place for it).
        const QString label = tr(span.label);
        progress_dialog_->setLabelText(label.contains(QLatin1String("%1")) ? label.arg(import_name_)
                                                                           : label);
    }
    if (total > 0) {
        const double fraction = std::clamp(static_cast<double>(done) / total, 0.0, 1.0);
        progress_dialog_->setRange(0, 1000);
        progress_dialog_->setValue(span.from + static_cast<int>(fraction * (span.to - span.from)));
    } else {
        progress_dialog_->setRange(0, 0); // size unknown (a pipe): a busy indicator
    }
    last_update_ms_ = now;
    QCoreApplication::processEvents();
    return progress_dialog_ && !progress_dialog_->wasCanceled();
}
