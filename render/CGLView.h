#pragma once

#include "frame_inputs.h"
#include "frame_policy.h"
#include "mouse_listener.h"
#include "view_frame.h"

#include <QOpenGLWidget>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>

// A child window that draws its draw list with OpenGL and turns mouse movement into
// window-relative coordinates for one listener. Qt keeps one context per widget, but every
// frame goes through ViewFrame::draw_frame, which saves and restores all GL state, so each
// frame starts from the default state as a freshly created context would.
//
// Every mouse movement (tracking is on, so also without a button held) is first handed to the
// listener, with no frame in progress, and then presents the view synchronously. The framebuffer
// keeps its contents between frames, so when the view's inputs (ViewFrame::collect_frame_inputs)
// equal those of its last frame, that frame is presented again instead of being drawn: the
// pixels are the same. Explicit repaints always draw.
class CGLView : public QOpenGLWidget, public ViewFrame {
    Q_OBJECT
public:
    explicit CGLView(QWidget* parent = nullptr);
    ~CGLView() override; // releases the drawables' GL objects in the widget's context

    // One complete frame, drawn now into the widget's framebuffer and then composed on screen
    // (QWidget::repaint is not reliably synchronous for GL widgets). Before the widget has a
    // context, only queues a paint. The frame policy, if any, is told that no one interacts.
    void repaint();
    // The same for a frame that answers an ongoing edit: the frame policy may draw it coarse.
    void repaint_interactive();
    // Draws a frame only when the inputs changed since the last one (the frame policy is told
    // that no one interacts); otherwise the last frame stays.
    void refresh();

    // flags: 1 left, 2 right, 4 shift, 8 control, 0x10 middle; point in widget pixels.
    void OnMouseMove(int flags, QPoint point);
    void OnPaint();

    // The key-state bits of a Qt mouse state.
    static int mouse_flags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

    MouseListener* mouse_listener = nullptr; // not owned
    QRect client_rect;                       // size of the last frame, in device pixels
    // Chooses the detail of each frame and learns frame times; null draws every frame as it
    // is. With a policy, releasing the last mouse button presents a frame (a full one after a
    // coarse drag). Not owned.
    FramePolicy* frame_policy = nullptr;
    // Frames drawn so far (presenting a frame again does not count), and the last one's time.
    std::int64_t frames_drawn = 0;
    double last_frame_seconds = 0.0;

signals:
    // The last mouse button held over the view was released.
    void buttons_released();

protected:
    void initializeGL() override;
    void paintGL() override;
    void resizeGL(int w, int h) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The framebuffer's size as Qt makes it: each side scaled and rounded. Truncating instead
    // would leave the last column and row undrawn under fractional display scaling.
    QSize device_size() const;
    // With `force` false, draws only when the inputs changed; true when a frame was drawn.
    // Needs the context current.
    bool frame(bool force);
    void present(bool interacting, bool force);

    // Set by repaint after its frame: the paint that composes it need not draw it again.
    bool frame_fresh_ = false;
    // The inputs of the frame in the framebuffer; unknown when a drawable cannot name its own
    // or the framebuffer was made anew.
    FrameInputs last_inputs_;
    bool last_inputs_known_ = false;
};
