#include "headless_view.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

namespace {

// The surfaceless platform needs no window system at all. eglGetPlatformDisplay is EGL 1.5;
// the EXT entry point covers older loaders.
EGLDisplay surfaceless_display() {
    using GetPlatformDisplay = EGLDisplay (*)(EGLenum, void*, const EGLAttrib*);
    using GetPlatformDisplayExt = EGLDisplay (*)(EGLenum, void*, const EGLint*);
    if (auto get = reinterpret_cast<GetPlatformDisplay>(eglGetProcAddress("eglGetPlatformDisplay")))
        return get(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (auto get =
            reinterpret_cast<GetPlatformDisplayExt>(eglGetProcAddress("eglGetPlatformDisplayEXT")))
        return get(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    return EGL_NO_DISPLAY;
}

} // namespace

HeadlessView::~HeadlessView() {
    close();
}

bool HeadlessView::fail(const std::string& why) {
    error_ = why;
    close();
    return false;
}

bool HeadlessView::open(int width, int height) {
    close();
    error_.clear();
    if (width <= 0 || height <= 0)
        return fail("the view size must be positive");
    EGLDisplay dpy = surfaceless_display();
    if (dpy == EGL_NO_DISPLAY)
        return fail("no surfaceless EGL display");
    EGLint major = 0, minor = 0;
    if (!eglInitialize(dpy, &major, &minor))
        return fail("eglInitialize failed");
    display_ = dpy;
    if (!eglBindAPI(EGL_OPENGL_API))
        return fail("desktop OpenGL is not available through EGL");

    const EGLint config_attribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(dpy, config_attribs, &config, 1, &count) || count < 1)
        config = nullptr; // EGL_KHR_no_config_context: Mesa accepts a null config
    const EGLint context_attribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                      EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, context_attribs);
    if (ctx == EGL_NO_CONTEXT)
        return fail("no OpenGL compatibility context");
    context_ = ctx;
    if (!eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx))
        return fail("the context cannot be made current without a surface");

    glGenRenderbuffers(1, &colour_buffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_buffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glGenRenderbuffers(1, &depth_buffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_buffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              colour_buffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_buffer_);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return fail("the framebuffer is incomplete");
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    width_ = width;
    height_ = height;
    context_ok = true;
    return true;
}

bool HeadlessView::make_current() {
    if (!context_)
        return false;
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_))
        return false;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return true;
}

bool HeadlessView::repaint() {
    if (!make_current())
        return false;
    draw_frame(width_, height_);
    glFinish();
    return true;
}

bool HeadlessView::read_pixels(std::vector<unsigned char>& rgba) {
    if (!make_current())
        return false;
    const std::size_t row = static_cast<std::size_t>(width_) * 4;
    std::vector<unsigned char> bottom_up(row * height_);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, bottom_up.data());
    rgba.resize(bottom_up.size());
    for (int y = 0; y < height_; ++y)
        std::memcpy(rgba.data() + row * y, bottom_up.data() + row * (height_ - 1 - y), row);
    return glGetError() == GL_NO_ERROR;
}

void HeadlessView::close() {
    if (display_ && context_) {
        if (eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) {
            release_resources();
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            if (framebuffer_)
                glDeleteFramebuffers(1, &framebuffer_);
            if (colour_buffer_)
                glDeleteRenderbuffers(1, &colour_buffer_);
            if (depth_buffer_)
                glDeleteRenderbuffers(1, &depth_buffer_);
        }
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display_, context_);
    }
    forget_resources(); // when the context could not be made current to release them
    // The display is shared by every view of the process, so it is not terminated here.
    framebuffer_ = colour_buffer_ = depth_buffer_ = 0;
    context_ = nullptr;
    width_ = height_ = 0;
}
