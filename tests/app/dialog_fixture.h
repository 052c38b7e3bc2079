#pragma once

#include "volume_dialog.h"

#include <QMouseEvent>
#include <QtTest>

// A mouse movement over a view with the given buttons held, as Qt delivers one.
inline void move_over(QWidget& view, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), view.mapToGlobal(QPointF(at)), Qt::NoButton,
                     buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &move);
}

// Initialises and shows the dialog and waits until it is on screen with every view's GL
// context ready; false when that does not happen.
inline bool show_ready(CVolumeDialog& dialog) {
    dialog.OnInitDialog();
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return false;
    for (CGLView* view : {&dialog.main_view, &dialog.red_panel, &dialog.green_panel,
                          &dialog.blue_panel, &dialog.opacity_panel})
        if (!QTest::qWaitFor([view] { return view->isValid(); }))
            return false;
    return true;
}
