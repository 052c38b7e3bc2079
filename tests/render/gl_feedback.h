#pragma once

#include <GL/gl.h>

#include <functional>
#include <vector>

// One vertex as GL feedback reports it in GL_3D_COLOR mode: window coordinates and the final
// (lit) RGBA colour.
struct FeedbackVertex {
    float x, y, z;
    float r, g, b, a;
};

// A polygon, line or point that reached the rasteriser, after clipping.
struct FeedbackPrimitive {
    GLenum token; // GL_POLYGON_TOKEN, GL_LINE_TOKEN, GL_POINT_TOKEN, ...
    std::vector<FeedbackVertex> vertices;
};

// Runs `draw` in feedback mode (nothing reaches the framebuffer) and parses what it emitted.
// Returns false when the buffer of `capacity` floats overflowed or a token was not understood.
bool capture_feedback(const std::function<void()>& draw, std::size_t capacity,
                      std::vector<FeedbackPrimitive>& out);
