#include "about_dialog.h"

#include "dialog_templates.h"
#include "dialog_units.h"
#include "strings.h"
#include "template_controls.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    const DialogTemplate& t = about_dialog_template;
    setFont(dialog_font(t.font_points));
    const BaseUnits units = dialog_base_units(font());
    setWindowTitle(tr(t.caption));
    setWindowIcon(QIcon(QString::fromLatin1(main_icon_path)));
    for (int i = 0; i < t.count; ++i) {
        QWidget* control = create_template_control(t.controls[i], units, this);
        if (t.controls[i].kind == ControlKind::static_text && t.controls[i].text[0] == '\0')
            static_cast<QLabel*>(control)->setText(tr(load_string(ids_about_second_line)));
        if (t.controls[i].id == 1)
            connect(static_cast<QPushButton*>(control), &QPushButton::clicked, this,
                    &QDialog::accept);
    }
    setFixedSize(dialog_x_to_pixels(t.width, units), dialog_y_to_pixels(t.height, units));
}
