#pragma once

#include <GL/gl.h>

// Pixel coordinates over the whole viewport (origin bottom left), no lighting, no depth,
// blending on; undone by the destructor. For overlays drawn over a frame.
class PixelSpace {
public:
    PixelSpace(int width, int height) {
        glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT |
                     GL_PIXEL_MODE_BIT | GL_TRANSFORM_BIT | GL_LINE_BIT);
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    }
    ~PixelSpace() {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();
    }
    PixelSpace(const PixelSpace&) = delete;
    PixelSpace& operator=(const PixelSpace&) = delete;

    // The viewport's width and height.
    static void viewport_size(int& width, int& height) {
        GLint v[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, v);
        width = v[2];
        height = v[3];
    }

    // RGBA bytes, rows from the bottom up, with their lower left corner at pixel (x, y) of the
    // viewport (which must lie inside it), blended over what is there.
    static void draw_pixels(int x, int y, int width, int height, const unsigned char* rgba) {
        glRasterPos2i(x, y);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    }
};
