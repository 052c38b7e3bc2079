// The scene wiring and the commands that act on the scene: the two sliders, "Set Transfer
// Func" and the real-time update after curve edits.
#include "volume_dialog.h"

#include "edit_number.h"

void CVolumeDialog::wire_scene() {
    colour_volume.allocate(0, 0, 0, 4);
    colour_volume.rgba = true;

    splat_renderer.camera = &view_controller.camera;
    splat_renderer.volume = &colour_volume;
    // Taken once from the empty colour volume (both 0); loading data does not update them.
    splat_renderer.value_std_dev = colour_volume.std_dev();
    splat_renderer.value_mean = splat_renderer.volume->mean_value();

    view_controller.camera.set_distance(750.0);
    splat_renderer.step_x = 1;
    splat_renderer.step_y = 1;
    splat_renderer.step_z = 1;

    main_view.projection_enabled = true;
    main_view.mouse_listener = &view_controller;
    view_controller.lighting_enabled = true;
    view_controller.drag_y_axis = 1;
    view_controller.drag_x_axis = 0;
    view_controller.drag_y_scale = 1;
    view_controller.drag_x_scale = 1;
    main_view.draw_list.push_back(static_cast<Drawable*>(&view_controller));
    main_view.draw_list.push_back(&splat_renderer);

    red_curve.colour = {1.0, 0.0, 0.0};
    green_curve.colour = {0.0, 1.0, 0.0};
    blue_curve.colour = {0.0, 0.0, 1.0};
    opacity_curve.colour = {1.0, 1.0, 1.0};
    red_panel.projection_enabled = true;
    for (TransferFunction* curve : {&red_curve, &green_curve, &blue_curve, &opacity_curve})
        curve->vertical_scale = 0.7;

    const struct {
        TransferFunction& curve;
        CGLView& panel;
    } pairs[] = {{red_curve, red_panel},
                 {green_curve, green_panel},
                 {blue_curve, blue_panel},
                 {opacity_curve, opacity_panel}};
    for (const auto& pair : pairs) {
        pair.panel.projection_enabled = true;
        pair.panel.draw_list.push_back(static_cast<Drawable*>(&pair.curve));
        pair.panel.mouse_listener = &pair.curve;
    }
    for (const auto& pair : pairs) {
        pair.curve.projection = &pair.panel.projection;
        pair.panel.refresh_projection = true;
    }
    for (const auto& pair : pairs)
        pair.panel.projection_camera = pair.curve.pick_snapshot();
    for (const auto& pair : pairs)
        pair.curve.listener = this;
    wire_interaction();
}

void CVolumeDialog::sync_sliders_from_renderer() {
    offset_slider.set_pos(saturating_trunc((5.0 - splat_renderer.opacity_offset) * 10.0));
    scale_slider.set_pos(saturating_trunc(splat_renderer.opacity_scale * 10.0));
}

void CVolumeDialog::apply_sliders_to_renderer() {
    // Rewriting the edits runs their handlers, which move the sliders to the edit values.
    set_window_text(low_end_edit, QString::fromStdString(format_edit_double(low_end)));
    set_window_text(range_edit, QString::fromStdString(format_edit_double(range)));
    const int p1 = offset_slider.get_pos();
    const int p2 = scale_slider.get_pos();
    splat_renderer.opacity_offset = -(p1 * 0.1 - 5.0);
    splat_renderer.opacity_scale = p2 * 0.1;
}

void CVolumeDialog::on_slider_released() {
    apply_sliders_to_renderer();
    main_view.repaint();
}

void CVolumeDialog::on_set_transfer_func() {
    apply_transfer_function();
}

void CVolumeDialog::apply_transfer_function() {
    // A refusal (extents that differ) leaves the colour volume as it was; the view still
    // repaints.
    if (classify_everything() && colour_pending_) {
        colour_pending_ = false;
        show_info();
    }
    main_view.repaint();
}

void CVolumeDialog::changed() {
    if (realtime_check.isChecked())
        realtime_update();
}
