#pragma once

#include "CGLView.h"
#include "scripted_dialog_prompts.h"
#include "slider_ctrl.h"
#include "volume_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>

#include <memory>

// A mouse movement over a view with the given buttons held, as Qt delivers one.
inline void move_over(QWidget& view, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), view.mapToGlobal(QPointF(at)), Qt::NoButton,
                     buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &move);
}

// The controls of a dialog by their template ids, as a person finds them on screen.
inline CGLView& main_view_of(const CVolumeDialog& d) {
    return *static_cast<CGLView*>(d.control(1000));
}
inline CGLView& panel_of(const CVolumeDialog& d, Channel c) {
    static constexpr int ids[4] = {1003, 1004, 1005, 1006}; // red, green, blue, opacity
    return *static_cast<CGLView*>(d.control(ids[channel_index(c)]));
}

// Initialises and shows the dialog and waits until it is on screen with every view's GL
// context ready; false when that does not happen.
inline bool show_ready(CVolumeDialog& dialog) {
    dialog.OnInitDialog();
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return false;
    for (int id : {1000, 1003, 1004, 1005, 1006}) {
        auto* view = static_cast<CGLView*>(dialog.control(id));
        if (!QTest::qWaitFor([view] { return view->isValid(); }))
            return false;
    }
    return true;
}

// The base of the dialog tests: a fresh dialog answered by scripted prompts for each test
// (start_dialog in init(), end_dialog in cleanup()), with its controls by name.
class DialogFixture : public QObject {
protected:
    void start_dialog() {
        prompts = std::make_unique<ScriptedDialogPrompts>();
        dialog = std::make_unique<CVolumeDialog>(nullptr, prompts.get());
    }
    void end_dialog() {
        dialog.reset();
        prompts.reset();
    }
    // Initialises and shows the dialog; false when it does not become ready.
    bool show() { return show_ready(*dialog); }

    CGLView& main_view() const { return main_view_of(*dialog); }
    CGLView& panel(Channel c) const { return panel_of(*dialog, c); }
    CSliderCtrl& offset_slider() const { return *static_cast<CSliderCtrl*>(dialog->control(1001)); }
    CSliderCtrl& scale_slider() const { return *static_cast<CSliderCtrl*>(dialog->control(1002)); }
    QLineEdit& low_end_edit() const { return *static_cast<QLineEdit*>(dialog->control(1008)); }
    QLineEdit& range_edit() const { return *static_cast<QLineEdit*>(dialog->control(1009)); }
    QCheckBox& realtime_check() const { return *static_cast<QCheckBox*>(dialog->control(1011)); }
    QPushButton& button(int id) const { return *static_cast<QPushButton*>(dialog->control(id)); }
    const Scene& scene() const { return dialog->scene(); }
    // For setting up a state no command reaches directly; the controls do not follow.
    Scene& scene_for_setup() { return dialog->scene_for_setup(); }
    QMenu& menu() const { return *dialog->menu().menu(); }
    // The menu item with this text (mnemonic ampersands included), or null.
    QAction* menu_item(const QString& text) const {
        for (QAction* a : menu().actions()) {
            if (a->text() == text)
                return a;
            if (QMenu* sub = a->menu())
                for (QAction* b : sub->actions())
                    if (b->text() == text)
                        return b;
        }
        return nullptr;
    }

    std::unique_ptr<ScriptedDialogPrompts> prompts;
    std::unique_ptr<CVolumeDialog> dialog;
};
