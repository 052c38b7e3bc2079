// The commands that the command line runs once the dialog has started.
#include "volume_dialog.h"

#include "edit_number.h"

void CVolumeDialog::set_range_values(std::optional<double> low, std::optional<double> width) {
    if (low)
        set_window_text(low_end_edit, QString::fromStdString(format_shortest_double(*low)));
    if (width)
        set_window_text(range_edit, QString::fromStdString(format_shortest_double(*width)));
}

void CVolumeDialog::place_camera(std::optional<double> distance, double tilt, double turn) {
    Camera& camera = view_controller.camera;
    if (distance)
        camera.set_distance(*distance);
    camera.rotate_left(Mat3::axis_rotation(1, tilt));
    camera.rotate_right(Mat3::axis_rotation(0, turn));
    main_view.repaint();
}
