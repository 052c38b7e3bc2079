// The main view's overlays and the camera turned along an axis: "Show Legend", "Show Axes" and
// "View From".
#include "volume_dialog.h"

#include <QAction>

void CVolumeDialog::show_legend(bool on) {
    scene_.legend.shown = on;
    if (menu_.legend_item() && menu_.legend_item()->isChecked() != on)
        menu_.legend_item()->setChecked(on);
    main_view_.refresh(); // drawn anew only when the overlay changed what the view shows
}

void CVolumeDialog::show_axes(bool on) {
    scene_.axes.shown = on;
    if (menu_.axes_item() && menu_.axes_item()->isChecked() != on)
        menu_.axes_item()->setChecked(on);
    main_view_.refresh();
}

void CVolumeDialog::view_from(int axis, bool positive) {
    scene_.view_from(axis, positive);
    main_view_.repaint();
    update_feedback(); // the text area says where the camera now is
}
