#pragma once

#include "classify.h"
#include "curves_file.h"
#include "volume.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <functional>
#include <optional>

// What one undo step restores: the four curves' control points, the two edit values (their
// texts and the numbers the dialog holds), the colour of missing data and the integration.
struct EditState {
    CurvePoints curves[4]; // red, green, blue, opacity
    QString low_text;
    QString range_text;
    double low = 0.0;
    double range = 0.0;
    MissingData missing = MissingData::grey;
    PathIntegration integration = PathIntegration::exact;
    bool operator==(const EditState& other) const;
    static bool same_points(const CurvePoints& a, const CurvePoints& b);
};

// The dialog's undo and redo (1000 steps): one step per gesture in a curve panel (from the
// button press to the release of the last button), and one per command that changes the
// curves or the edit values. A step moves the dialog between two EditStates through the two
// functions it was made with.
class UndoHistory : public QObject {
    Q_OBJECT
public:
    UndoHistory(std::function<EditState()> capture, std::function<void(const EditState&)> restore);

    // Pushes a step from `before` to the state now, unless nothing changed.
    void push_step(const EditState& before, const QString& name);
    // The presses and releases of the mouse buttons in `panel` bracket a gesture.
    void watch_gestures(QObject& panel);

    void undo() { stack_.undo(); }
    void redo() { stack_.redo(); }
    QUndoStack& stack() { return stack_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<EditState()> capture_;
    std::function<void(const EditState&)> restore_;
    QUndoStack stack_;
    std::optional<EditState> gesture_before_; // the state when a panel's button went down
};
