#define GL_GLEXT_PROTOTYPES 1

#include "splat_emitters.h"

ArrayEmitter::ArrayEmitter(const SplatGeometry& g, SplatArrays& a) : g_(g), a_(a) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(SplatVertex), a_.vertices[0].position);
    glNormalPointer(GL_FLOAT, sizeof(SplatVertex), a_.vertices[0].normal);
    glColorPointer(4, GL_FLOAT, sizeof(SplatVertex), a_.vertices[0].colour);
    mark_ = std::chrono::steady_clock::now();
}

void ArrayEmitter::finish() {
    if (finished_)
        return;
    finished_ = true;
    flush();
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    // After an array draw the current colour and normal are undefined; set them to the last
    // ones immediate mode would have left (this also leaves the tracked material the same).
    if (any_) {
        glNormal3d(last_.nx, last_.ny, last_.nz);
        glColor4f(last_.r, last_.g, last_.b, last_alpha_);
    }
}

void ArrayEmitter::flush() {
    fill_ += std::chrono::steady_clock::now() - mark_;
    if (used_ == 0)
        return;
    if (g_.fans)
        glMultiDrawArrays(GL_TRIANGLE_FAN, a_.firsts, a_.counts, used_ / 8);
    else
        glDrawArrays(GL_QUADS, 0, used_);
    used_ = 0;
    mark_ = std::chrono::steady_clock::now();
}
