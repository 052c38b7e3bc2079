// The views bound to the scene, and the commands that act on it: the two sliders, "Set
// Transfer Func" and the real-time update after curve edits.
#include "volume_dialog.h"

#include "edit_number.h"

#include <QElapsedTimer>

void CVolumeDialog::wire_scene() {
    scene_.attach_main_view(main_view_);
    main_view_.mouse_listener = &scene_.view_controller;
    main_view_.frame_policy = &scene_.interactive_detail;

    red_panel_.projection_enabled = true;
    for (int i = 0; i < channel_count; ++i) {
        CGLView& panel = *panels_[i];
        TransferFunction& curve = scene_.curves[i];
        panel.projection_enabled = true;
        panel.draw_list.push_back(static_cast<Drawable*>(&curve));
        panel.mouse_listener = &curve;
        curve.projection = &panel.projection;
        panel.refresh_projection = true;
        panel.projection_camera = curve.pick_snapshot();
        curve.listener = this;
        history_.watch_gestures(panel);
        // The end of a realtime edit: the main view's coarse frame gives way to the full one.
        connect(&panel, &CGLView::buttons_released, this, [this] { main_view_.refresh(); });
    }
    // The wheel has no release: the full frame follows once it has rested for a moment.
    main_view_.installEventFilter(this);
    wheel_rest_.setSingleShot(true);
    wheel_rest_.setInterval(300);
    connect(&wheel_rest_, &QTimer::timeout, this, [this] {
        main_view_.refresh();
        update_feedback();
    });
    // A drag of the camera ends: the text area says where it now is.
    connect(&main_view_, &CGLView::buttons_released, this, [this] { update_feedback(); });
}

void CVolumeDialog::sync_sliders_from_renderer() {
    const SplatRenderer& r = scene_.splat_renderer;
    offset_slider_.set_pos(saturating_trunc((5.0 - r.opacity_offset) * 10.0));
    scale_slider_.set_pos(saturating_trunc(r.opacity_scale * 10.0));
}

void CVolumeDialog::apply_sliders_to_renderer() {
    // Rewriting the edits runs their handlers, which move the sliders to the edit values.
    set_window_text(low_end_edit_, QString::fromStdString(format_edit_double(scene_.low_end)));
    set_window_text(range_edit_, QString::fromStdString(format_edit_double(scene_.range)));
    const int p1 = offset_slider_.get_pos();
    const int p2 = scale_slider_.get_pos();
    scene_.splat_renderer.opacity_offset = -(p1 * 0.1 - 5.0);
    scene_.splat_renderer.opacity_scale = p2 * 0.1;
}

void CVolumeDialog::on_slider_released() {
    apply_sliders_to_renderer();
    main_view_.repaint();
}

void CVolumeDialog::on_set_transfer_func() {
    apply_transfer_function();
}

void CVolumeDialog::apply_transfer_function() {
    // A refusal (extents that differ) leaves the colour volume as it was; the view still
    // repaints.
    if (classify_everything()) {
        info_text_.coloured();
        coloured_from_ = coloured_from_now();
    }
    main_view_.repaint();
    update_feedback();
}

void CVolumeDialog::changed() {
    if (realtime_check_.isChecked())
        realtime_update();
    else
        update_feedback();
}

bool CVolumeDialog::classify_everything() {
    return scene_.classify_all();
}

void CVolumeDialog::realtime_update() {
    QElapsedTimer timer;
    timer.start();
    // A refusal (extents that differ) leaves the colour volume as it was; the view still
    // repaints, as after a full classification.
    if (scene_.classify_changed())
        coloured_from_ = coloured_from_now();
    scene_.interactive_detail.spent_seconds = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
    main_view_.repaint_interactive();
}

void CVolumeDialog::data_replaced() {
    scene_.data_replaced();
    ++data_generation_;
    main_view_.invalidate();
}
