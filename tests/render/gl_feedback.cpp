#include "gl_feedback.h"

bool capture_feedback(const std::function<void()>& draw, std::size_t capacity,
                      std::vector<FeedbackPrimitive>& out) {
    out.clear();
    std::vector<GLfloat> buffer(capacity);
    glFeedbackBuffer(static_cast<GLsizei>(capacity), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    if (used < 0)
        return false;
    const auto vertex_at = [&](GLint i) {
        return FeedbackVertex{buffer[i],     buffer[i + 1], buffer[i + 2], buffer[i + 3],
                              buffer[i + 4], buffer[i + 5], buffer[i + 6]};
    };
    const GLint stride = 7;
    GLint i = 0;
    while (i < used) {
        const auto token = static_cast<GLenum>(buffer[i++]);
        FeedbackPrimitive prim{token, {}};
        GLint n = 0;
        switch (token) {
        case GL_POLYGON_TOKEN:
            n = static_cast<GLint>(buffer[i++]);
            break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            n = 2;
            break;
        case GL_POINT_TOKEN:
        case GL_BITMAP_TOKEN:
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN:
            n = 1;
            break;
        case GL_PASS_THROUGH_TOKEN:
            ++i;
            continue;
        default:
            return false;
        }
        if (i + n * stride > used)
            return false;
        for (GLint k = 0; k < n; ++k, i += stride)
            prim.vertices.push_back(vertex_at(i));
        out.push_back(std::move(prim));
    }
    return true;
}
