#include "CGLView.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
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
    // the next composition shows, and an unchanged frame can be presented again.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
}

CGLView::~CGLView() {
    if (context() && context()->isValid()) {
        makeCurrent();
        release_resources();
        doneCurrent();
    }
    forget_resources();
}

void CGLView::repaint() {
    present(false, true);
}

void CGLView::repaint_interactive() {
    present(true, true);
}

void CGLView::refresh() {
    present(false, false);
}

void CGLView::present(bool interacting, bool force) {
    if (frame_policy)
        frame_policy->before_frame(interacting);
    if (!isValid()) {
        update();
        return;
    }
    if (!force && last_inputs_known_) {
        // Compared before the context is made current: an unchanged view costs nothing more.
        FrameInputs now;
        const QSize device = device_size();
        if (collect_frame_inputs(now, device.width(), device.height()) && now == last_inputs_)
            return;
    }
    makeCurrent();
    frame(true);
    doneCurrent();
    frame_fresh_ = true;
    update();
}

bool CGLView::frame(bool force) {
    const QSize device = device_size();
    if (!force && last_inputs_known_) {
        FrameInputs now;
        if (collect_frame_inputs(now, device.width(), device.height()) && now == last_inputs_)
            return false;
    }
    QElapsedTimer timer;
    timer.start();
    OnPaint();
    // The frame is finished before it is timed (and before it is composed anyway).
    context()->functions()->glFinish();
    last_frame_seconds = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
    ++frames_drawn;
    if (frame_policy)
        frame_policy->after_frame(last_frame_seconds);
    // Taken after the frame: drawing may settle state that draws the same (built segments).
    last_inputs_known_ = collect_frame_inputs(last_inputs_, device.width(), device.height());
    return true;
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
    present((flags & (0x01 | 0x02 | 0x10)) != 0, false);
}

QSize CGLView::device_size() const {
    return size() * devicePixelRatioF();
}

void CGLView::OnPaint() {
    const QSize device = device_size();
    const int w = device.width();
    const int h = device.height();
    if (context() && context()->isValid())
        context_ok = true;
    client_rect = QRect(0, 0, w, h);
    draw_frame(w, h); // a height of 0 draws nothing and keeps the projection record
}

void CGLView::initializeGL() {
    last_inputs_known_ = false; // a new context: nothing drawn in it yet
    forget_resources();         // any left belonged to a context that is gone
    // Qt makes a new context when the widget moves to another window: the drawables' GL
    // objects go with the old one.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        release_resources();
        doneCurrent();
    });
}

void CGLView::paintGL() {
    if (frame_fresh_) {
        frame_fresh_ = false;
        return;
    }
    frame(false);
}

void CGLView::resizeGL(int, int) {
    frame_fresh_ = false; // a new framebuffer: the next paint must draw
    last_inputs_known_ = false;
}

void CGLView::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(mouse_flags(event->buttons(), event->modifiers()), event->position().toPoint());
}

void CGLView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton))
        return;
    if (frame_policy)
        present(false, false);
    emit buttons_released();
}
