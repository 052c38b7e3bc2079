#pragma once

#include <QRect>

class QWidget;
struct BaseUnits;
struct TemplateControl;

// Creates the control of a template entry that no member stands for (buttons, labels, the
// group box, the About box's icon) as a child of `parent`, placed at its template position.
QWidget* create_template_control(const TemplateControl& control, const BaseUnits& units,
                                 QWidget* parent);

// The template entry with this id, or null.
const TemplateControl* find_template_control(const TemplateControl* controls, int count, int id);
