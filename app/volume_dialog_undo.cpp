// Undo and redo of curve edits: one step per gesture in a panel (from the first movement with
// a button held to the release), per "Load Curves..." and per "Fit Range to Data".
#include "volume_dialog.h"

#include <QMouseEvent>
#include <QUndoCommand>

#include <algorithm>

bool operator==(const CurvePoints& a, const CurvePoints& b) {
    return a.count == b.count && std::equal(a.x, a.x + a.count, b.x) &&
           std::equal(a.y, a.y + a.count, b.y);
}

bool operator==(const CurveState& a, const CurveState& b) {
    return std::equal(a.curves, a.curves + 4, b.curves) && a.low_text == b.low_text &&
           a.range_text == b.range_text && a.low == b.low && a.range == b.range &&
           a.missing == b.missing;
}

namespace {

// Moves the dialog between two states. The state after the step is already in place when it
// is pushed, so its first redo does nothing.
class CurveStep : public QUndoCommand {
public:
    CurveStep(CVolumeDialog& dialog, CurveState before, CurveState after, const QString& name)
        : QUndoCommand(name), dialog_(dialog), before_(std::move(before)),
          after_(std::move(after)) {}
    void undo() override { dialog_.restore_curve_state(before_); }
    void redo() override {
        if (pushed_)
            dialog_.restore_curve_state(after_);
        pushed_ = true;
    }

private:
    CVolumeDialog& dialog_;
    CurveState before_;
    CurveState after_;
    bool pushed_ = false;
};

} // namespace

CurveState CVolumeDialog::curve_state() const {
    CurveState state;
    const TransferFunction* curves[4] = {&red_curve, &green_curve, &blue_curve, &opacity_curve};
    for (int i = 0; i < 4; ++i)
        state.curves[i] = curve_points(*curves[i]);
    state.low_text = low_end_edit.text();
    state.range_text = range_edit.text();
    state.low = low_end;
    state.range = range;
    state.missing = missing_data;
    return state;
}

void CVolumeDialog::restore_curve_state(const CurveState& state) {
    TransferFunction* curves[4] = {&red_curve, &green_curve, &blue_curve, &opacity_curve};
    for (int i = 0; i < 4; ++i) {
        set_curve_points(*curves[i], state.curves[i]);
        curves[i]->update_segments();
    }
    // Through the edits, so that the sliders follow; an edit text that does not read as a
    // number left the value before it, which is restored as well.
    set_window_text(low_end_edit, state.low_text);
    set_window_text(range_edit, state.range_text);
    low_end = state.low;
    range = state.range;
    show_missing_data(state.missing);
    repaint_panels();
    if (realtime_check.isChecked())
        apply_transfer_function();
}

void CVolumeDialog::push_curve_step(const CurveState& before, const QString& name) {
    CurveState after = curve_state();
    if (after == before)
        return;
    undo_stack_.push(new CurveStep(*this, before, std::move(after), name));
}

void CVolumeDialog::on_undo() {
    undo_stack_.undo();
}

void CVolumeDialog::on_redo() {
    undo_stack_.redo();
}

// The panels' button presses and releases bracket a gesture; the main view's wheel zooms.
bool CVolumeDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &main_view && event->type() == QEvent::Wheel) {
        wheel_eighths_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
        const int notches = wheel_eighths_ / 120;
        wheel_eighths_ -= notches * 120;
        if (notches != 0)
            zoom_notches(notches);
        return true;
    }
    const bool panel = watched == &red_panel || watched == &green_panel ||
                       watched == &blue_panel || watched == &opacity_panel;
    if (panel && event->type() == QEvent::MouseButtonPress) {
        if (!gesture_before_)
            gesture_before_ = curve_state();
    } else if (panel && event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton && gesture_before_) {
        push_curve_step(*gesture_before_, tr("Curve Edit"));
        gesture_before_.reset();
    }
    return QDialog::eventFilter(watched, event);
}
