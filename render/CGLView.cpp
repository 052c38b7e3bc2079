#include "CGLView.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>

CGLView::CGLView(QWidget* parent) : QOpenGLWidget(parent) {
    QSurfaceFormat f = format();
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    if (f.depthBufferSize() < 24)
        f.setDepthBufferSize(24);
    setFormat(f);
    setMouseTracking(true);
    // Keep the framebuffer's contents between paints, so a frame drawn by repaint() is what
    // the next composition shows.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
}

void CGLView::repaint() {
    if (!isValid()) {
        update();
        return;
    }
    makeCurrent();
    OnPaint();
    doneCurrent();
    frame_fresh_ = true;
    update();
}

int CGLView::mouse_flags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    int flags = 0;
    if (buttons & Qt::LeftButton)
        flags |= 0x01;
    if (buttons & Qt::RightButton)
        flags |= 0x02;
    if (modifiers & Qt::ShiftModifier)
        flags |= 0x04;
    if (modifiers & Qt::ControlModifier)
        flags |= 0x08;
    if (buttons & Qt::MiddleButton)
        flags |= 0x10;
    return flags;
}

void CGLView::OnMouseMove(int flags, QPoint point) {
    const double width = this->width();
    const double height = this->height();
    if (width < 0.001 || height < 0.001)
        return;
    const double x = (1.0 / width) * point.x();
    const double y = (1.0 / height) * point.y();
    if (x >= 0.0 && x <= 1.0 && y >= 0.0 && y <= 1.0 && mouse_listener)
        mouse_listener->on_mouse(flags, x, y);
    repaint();
}

void CGLView::OnPaint() {
    // The framebuffer's size as Qt makes it: each side scaled and rounded. Truncating instead
    // would leave the last column and row undrawn under fractional display scaling.
    const QSize device = size() * devicePixelRatioF();
    const int w = device.width();
    const int h = device.height();
    if (context() && context()->isValid())
        context_ok = true;
    client_rect = QRect(0, 0, w, h);
    draw_frame(w, h); // a height of 0 draws nothing and keeps the projection record
}

void CGLView::paintGL() {
    if (frame_fresh_) {
        frame_fresh_ = false;
        return;
    }
    OnPaint();
}

void CGLView::resizeGL(int, int) {
    frame_fresh_ = false; // a new framebuffer: the next paint must draw
}

void CGLView::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(mouse_flags(event->buttons(), event->modifiers()), event->position().toPoint());
}
