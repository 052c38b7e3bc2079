// Time through the components: the "Components" tool window and the window it sets.
#include "volume_dialog.h"

#include "components_window.h"

#include <QElapsedTimer>

void CVolumeDialog::on_components() {
    if (!components_window_)
        components_window_ = new CComponentsWindow(*this); // the dialog's child: Qt deletes it
    components_window_->follow_scene();
    components_window_->show();
    components_window_->raise();
    components_window_->activateWindow();
}

bool CVolumeDialog::set_component_window(int first, int last, bool playing) {
    if (!scene_.set_component_window(first, last))
        return false;
    // The window is a new path for every grid point: every channel is classified anew (the
    // scene forgets what it had). Playback draws the answering frame as an edit's, which may be
    // coarse; otherwise as "Set Transfer Func" does.
    if (!playing) {
        apply_transfer_function();
        return true;
    }
    // Playback comes round to the same windows: one classified whole is copied back after
    // that. A new one is classified only where the coarse frame that shows it draws.
    QElapsedTimer timer;
    timer.start();
    if (scene_.classify_playback_step())
        coloured_from_ = coloured_from_now();
    scene_.interactive_detail.spent_seconds = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
    main_view_.repaint_interactive();
    return true;
}

void CVolumeDialog::end_playback() {
    scene_.complete_colours(); // before the frame, which would otherwise do it and be timed
    main_view_.refresh();
    update_feedback();
}

void CVolumeDialog::components_follow_grid() {
    if (!components_window_)
        return;
    components_window_->set_playing(false); // the window it played through is gone
    components_window_->follow_scene();
}
