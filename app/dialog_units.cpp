#include "dialog_units.h"

#include "dialog_templates.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int mul_div(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

} // namespace

BaseUnits dialog_base_units(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average over 52 letters, rounded.
    return BaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

int dialog_x_to_pixels(int du, const BaseUnits& units) {
    return mul_div(du, units.x, 4);
}

int dialog_y_to_pixels(int du, const BaseUnits& units) {
    return mul_div(du, units.y, 8);
}

QRect dialog_rect(int x, int y, int w, int h, const BaseUnits& units) {
    return QRect(dialog_x_to_pixels(x, units), dialog_y_to_pixels(y, units),
                 dialog_x_to_pixels(w, units), dialog_y_to_pixels(h, units));
}

QRect dialog_rect(const TemplateControl& control, const BaseUnits& units) {
    return dialog_rect(control.x, control.y, control.w, control.h, units);
}

QFont dialog_font(int points) {
    // Faces with the proportions of the templates' dialog font come first, so the layout has
    // the intended pixel sizes where one is installed; otherwise the desktop's general font.
    const QStringList installed = QFontDatabase::families();
    for (const char* family : {"Tahoma", "Liberation Sans", "Arial", "DejaVu Sans Condensed"}) {
        if (installed.contains(QLatin1String(family)))
            return QFont(QLatin1String(family), points);
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(points);
    return font;
}
