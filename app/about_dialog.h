#pragma once

#include <QDialog>

// The About box (template 100): the icon, the version line and a second line of text.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};
