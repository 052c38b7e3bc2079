#pragma once

#include "grid_variables.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QListWidget;

// Asks which data of a NetCDF file becomes the grid: one or more variables of the same shape
// (one component each), or one variable and the dimension whose indices become the components
// (a variable of four dimensions needs one). Each candidate is listed with its dimensions,
// sizes, long name and units.
class CVariableChooser : public QDialog {
    Q_OBJECT
public:
    CVariableChooser(const std::string& file, const std::vector<VariableCandidate>& candidates,
                     QWidget* parent = nullptr);
    // What is selected now.
    VariableChoice choice() const;

private:
    void selection_changed();

    std::vector<VariableCandidate> candidates_;
    QListWidget* list_ = nullptr;
    QComboBox* components_ = nullptr;
};
