#include "undo_history.h"

#include <QEvent>
#include <QMouseEvent>
#include <QUndoCommand>

#include <algorithm>

namespace {

// Moves the dialog between two states. The state after the step is already in place when it
// is pushed, so its first redo does nothing.
class EditStep : public QUndoCommand {
public:
    EditStep(const std::function<void(const EditState&)>& restore, EditState before,
             EditState after, const QString& name)
        : QUndoCommand(name), restore_(restore), before_(std::move(before)),
          after_(std::move(after)) {}
    void undo() override { restore_(before_); }
    void redo() override {
        if (pushed_)
            restore_(after_);
        pushed_ = true;
    }

private:
    const std::function<void(const EditState&)>& restore_;
    EditState before_;
    EditState after_;
    bool pushed_ = false;
};

} // namespace

bool EditState::same_points(const CurvePoints& a, const CurvePoints& b) {
    return a.count == b.count && std::equal(a.x, a.x + a.count, b.x) &&
           std::equal(a.y, a.y + a.count, b.y);
}

bool EditState::operator==(const EditState& other) const {
    for (int i = 0; i < 4; ++i)
        if (!same_points(curves[i], other.curves[i]))
            return false;
    return low_text == other.low_text && range_text == other.range_text && low == other.low &&
           range == other.range && missing == other.missing && integration == other.integration;
}

UndoHistory::UndoHistory(std::function<EditState()> capture,
                         std::function<void(const EditState&)> restore)
    : capture_(std::move(capture)), restore_(std::move(restore)) {
    stack_.setUndoLimit(1000);
}

void UndoHistory::push_step(const EditState& before, const QString& name) {
    EditState after = capture_();
    if (after == before)
        return;
    stack_.push(new EditStep(restore_, before, std::move(after), name));
}

void UndoHistory::watch_gestures(QObject& panel) {
    panel.installEventFilter(this);
}

bool UndoHistory::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (!gesture_before_)
            gesture_before_ = capture_();
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton && gesture_before_) {
        push_step(*gesture_before_, tr("Curve Edit"));
        gesture_before_.reset();
    }
    return QObject::eventFilter(watched, event);
}
