#pragma once

#include <QRect>

class QFont;
struct TemplateControl;

// Dialog base units of a font: the average width of its Latin letters and its height, in
// pixels. A dialog unit is a quarter of the base width horizontally and an eighth of the base
// height vertically.
struct BaseUnits {
    int x = 0;
    int y = 0;
};

BaseUnits dialog_base_units(const QFont& font);

// Converts dialog units to pixels, rounding as the template loader does.
int dialog_x_to_pixels(int du, const BaseUnits& units);
int dialog_y_to_pixels(int du, const BaseUnits& units);
QRect dialog_rect(int x, int y, int w, int h, const BaseUnits& units);
QRect dialog_rect(const TemplateControl& control, const BaseUnits& units);

// The templates' dialog font at `points` points.
QFont dialog_font(int points);
