// Interaction at any grid size: the main view draws coarser frames while a mouse button is
// held in it or curves are edited in real time, whenever a full frame would not fit the frame
// budget, and a full frame when the last button is released; a realtime curve edit classifies
// only the channels whose curves changed. "Fast Interaction" in the context menu switches the
// coarse frames off.
#include "volume_dialog.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>

void CVolumeDialog::wire_interaction() {
    interactive_detail.renderer = &splat_renderer;
    main_view.frame_policy = &interactive_detail;
    // The end of a realtime edit: the main view's coarse frame gives way to the full one.
    for (CGLView* panel : {&red_panel, &green_panel, &blue_panel, &opacity_panel})
        connect(panel, &CGLView::buttons_released, this, [this] { main_view.refresh(); });
    // The wheel has no release: the full frame follows once it has rested for a moment.
    wheel_rest_.setSingleShot(true);
    wheel_rest_.setInterval(300);
    connect(&wheel_rest_, &QTimer::timeout, this, [this] { main_view.refresh(); });
}

void CVolumeDialog::add_interaction_commands() {
    if (!system_menu_ || fast_interaction_action_)
        return;
    // With the other switches of the menu.
    fast_interaction_action_ = new QAction(tr("Fast &Interaction"), this);
    system_menu_->insertAction(show_histograms_, fast_interaction_action_);
    fast_interaction_action_->setCheckable(true);
    fast_interaction_action_->setChecked(fast_interaction());
    connect(fast_interaction_action_, &QAction::toggled, this,
            &CVolumeDialog::set_fast_interaction);
}

void CVolumeDialog::set_fast_interaction(bool on) {
    interactive_detail.set_enabled(on);
    if (fast_interaction_action_ && fast_interaction_action_->isChecked() != on)
        fast_interaction_action_->setChecked(on);
    main_view.refresh(); // a coarse frame still shown becomes the full one
}

bool CVolumeDialog::classify_everything() {
    const TransferFunction* curves[4] = {&red_curve, &green_curve, &blue_curve, &opacity_curve};
    return curve_classifier.classify_all(colour_volume, data_volume, curves,
                                         {low_end, range, missing_data});
}

void CVolumeDialog::realtime_update() {
    const TransferFunction* curves[4] = {&red_curve, &green_curve, &blue_curve, &opacity_curve};
    QElapsedTimer timer;
    timer.start();
    // A refusal (extents that differ) leaves the colour volume as it was; the view still
    // repaints, as after a full classification.
    curve_classifier.classify_changed(colour_volume, data_volume, curves,
                                      {low_end, range, missing_data});
    interactive_detail.spent_seconds = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
    main_view.repaint_interactive();
}

void CVolumeDialog::data_replaced() {
    curve_classifier.forget();
    main_view.invalidate();
}
