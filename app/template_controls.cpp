#include "template_controls.h"

#include "dialog_templates.h"
#include "dialog_units.h"
#include "strings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

QWidget* create_template_control(const TemplateControl& control, const BaseUnits& units,
                                 QWidget* parent) {
    const QString text = QCoreApplication::translate("DialogTemplate", control.text);
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::default_button:
    case ControlKind::push_button: {
        auto* button = new QPushButton(text, parent);
        // A focused push button takes Enter (the dialog's default button takes it back when
        // the focus moves on), as in the dialogs this program comes from: Enter on a focused
        // "Cancel" cancels, and Enter in an edit field still presses the default button.
        button->setAutoDefault(true);
        button->setDefault(control.kind == ControlKind::default_button);
        widget = button;
        break;
    }
    case ControlKind::check_box:
        widget = new QCheckBox(text, parent);
        break;
    case ControlKind::group_box:
        widget = new QGroupBox(text, parent);
        break;
    case ControlKind::static_text:
    case ControlKind::view: {
        auto* label = new QLabel(text, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
    }
    case ControlKind::static_icon: {
        auto* label = new QLabel(parent);
        label->setPixmap(QIcon(QString::fromLatin1(main_icon_path)).pixmap(32, 32));
        widget = label;
        break;
    }
    case ControlKind::slider:
    case ControlKind::edit:
        return nullptr; // always bound to a member
    }
    QRect rect = dialog_rect(control, units);
    if (control.kind == ControlKind::static_icon)
        rect.setSize(QSize(32, 32)); // an icon control takes the icon's size
    widget->setGeometry(rect);
    return widget;
}

const TemplateControl* find_template_control(const TemplateControl* controls, int count, int id) {
    for (int i = 0; i < count; ++i)
        if (controls[i].id == id)
            return &controls[i];
    return nullptr;
}
