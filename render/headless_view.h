#pragma once

#include "view_frame.h"

#include <string>
#include <vector>

// A view without a window: a surfaceless Mesa EGL context (desktop GL, compatibility profile)
// drawing into a framebuffer object of a fixed size. Used by the batch tool, the tests and the
// benchmarks; needs no display server.
class HeadlessView : public ViewFrame {
public:
    HeadlessView() = default;
    ~HeadlessView();
    HeadlessView(const HeadlessView&) = delete;
    HeadlessView& operator=(const HeadlessView&) = delete;

    // Creates the context and a width x height framebuffer (colour RGBA8, 24-bit depth) and
    // leaves it current. Returns false with a reason in error() when any step fails.
    bool open(int width, int height);

    // Makes this view's context and framebuffer current; false when the view is not open.
    bool make_current();

    // One frame into the framebuffer (ViewFrame::draw_frame at the view's size); glFinish
    // before returning. False when the view is not open.
    bool repaint();

    // The framebuffer as RGBA bytes, rows from the top edge down (width * height * 4 bytes).
    bool read_pixels(std::vector<unsigned char>& rgba);

    bool is_open() const { return context_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    const std::string& error() const { return error_; }

private:
    void close();
    bool fail(const std::string& why);

    void* display_ = nullptr; // EGLDisplay
    void* context_ = nullptr; // EGLContext
    unsigned framebuffer_ = 0;
    unsigned colour_buffer_ = 0;
    unsigned depth_buffer_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::string error_;
};
