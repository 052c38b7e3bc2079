#pragma once

#include "mouse_listener.h"
#include "view_frame.h"

#include <QOpenGLWidget>
#include <QPoint>
#include <QRect>

// A child window that draws its draw list with OpenGL and turns mouse movement into
// window-relative coordinates for one listener. Qt keeps one context per widget, but every
// frame goes through ViewFrame::draw_frame, which saves and restores all GL state, so each
// frame starts from the default state as a freshly created context would.
//
// Every mouse movement (tracking is on, so also without a button held) is first handed to the
// listener, with no frame in progress, and then repaints the view synchronously.
class CGLView : public QOpenGLWidget, public ViewFrame {
    Q_OBJECT
public:
    explicit CGLView(QWidget* parent = nullptr);

    // One complete frame, drawn now into the widget's framebuffer and then composed on screen
    // (QWidget::repaint is not reliably synchronous for GL widgets). Before the widget has a
    // context, only queues a paint.
    void repaint();

    // flags: 1 left, 2 right, 4 shift, 8 control, 0x10 middle; point in widget pixels.
    void OnMouseMove(int flags, QPoint point);
    void OnPaint();

    // The key-state bits of a Qt mouse state.
    static int mouse_flags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

    MouseListener* mouse_listener = nullptr; // not owned
    QRect client_rect;                       // size of the last frame, in device pixels

protected:
    void paintGL() override;
    void resizeGL(int w, int h) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Set by repaint after its frame: the paint that composes it need not draw it again.
    bool frame_fresh_ = false;
};
