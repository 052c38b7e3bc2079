#include "variable_chooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CVariableChooser::CVariableChooser(const std::string& file,
                                   const std::vector<VariableCandidate>& candidates,
                                   QWidget* parent)
    : QDialog(parent), candidates_(candidates) {
    setWindowTitle(tr("Choose the Grid"));
    auto* layout = new QVBoxLayout(this);
    // One candidate is asked about only when it has four dimensions: what is left to choose is
    // the dimension of its components.
    const QString name = QFileInfo(QString::fromStdString(file)).fileName();
    layout->addWidget(new QLabel(
        candidates_.size() == 1
            ? tr("%1 holds one variable of four dimensions. Choose the dimension that gives "
                 "the components:")
                  .arg(name)
            : tr("%1 holds several variables that could be the grid. Choose one, or several of "
                 "the same shape (one component each):")
                  .arg(name)));
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const VariableCandidate& c : candidates_)
        list_->addItem(QString::fromStdString(c.text()));
    layout->addWidget(list_);
    auto* form = new QFormLayout;
    components_ = new QComboBox(this);
    form->addRow(tr("Components from the dimension:"), components_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(list_, &QListWidget::itemSelectionChanged, this, &CVariableChooser::selection_changed);
    if (!candidates_.empty())
        list_->setCurrentRow(0);
    selection_changed();
}

void CVariableChooser::selection_changed() {
    // The dimensions of the first variable chosen; a variable of four dimensions needs one.
    const QString kept = components_->currentText();
    components_->clear();
    components_->addItem(tr("(none)"));
    const QList<QListWidgetItem*> chosen = list_->selectedItems();
    if (!chosen.isEmpty()) {
        const VariableCandidate& first =
            candidates_[static_cast<std::size_t>(list_->row(chosen[0]))];
        for (const std::string& name : first.dimension_names)
            components_->addItem(QString::fromStdString(name));
        if (first.dimension_names.size() >= 4 && components_->count() > 1)
            components_->setCurrentIndex(1);
    }
    const int again = components_->findText(kept);
    if (again > 0)
        components_->setCurrentIndex(again);
}

VariableChoice CVariableChooser::choice() const {
    VariableChoice c;
    for (int row = 0; row < list_->count(); ++row)
        if (list_->item(row)->isSelected())
            c.variables.push_back(candidates_[static_cast<std::size_t>(row)].name);
    if (components_->currentIndex() > 0)
        c.components_dimension = components_->currentText().toStdString();
    return c;
}
