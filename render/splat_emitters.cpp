#define GL_GLEXT_PROTOTYPES 1

#include "splat_emitters.h"

void SplatArrays::build_indices() {
    constexpr int per = SplatFan::vertices;
    for (int i = 0; i < splat_chunk_splats; ++i)
        for (int k = 0; k < SplatFan::triangles; ++k) {
            GLushort* t = fan_triangles + (i * SplatFan::triangles + k) * 3;
            t[0] = static_cast<GLushort>(i * per);
            t[1] = static_cast<GLushort>(i * per + k + 1);
            t[2] = static_cast<GLushort>(i * per + k + 2);
        }
}

ChunkDrawer::ChunkDrawer(const SplatArrays& a, bool fans) : a_(a), fans_(fans) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
}

ChunkDrawer::~ChunkDrawer() {
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void ChunkDrawer::draw(const SplatChunk& c) {
    if (c.used == 0)
        return;
    glVertexPointer(3, GL_FLOAT, sizeof(SplatVertex), c.vertices[0].position);
    glNormalPointer(GL_FLOAT, sizeof(SplatVertex), c.vertices[0].normal);
    glColorPointer(4, GL_FLOAT, sizeof(SplatVertex), c.vertices[0].colour);
    // Fans go as the triangles they consist of: one call per chunk, and the same triangles
    // with the same vertices reach the rasteriser.
    if (fans_)
        glDrawElements(GL_TRIANGLES, c.used / SplatFan::vertices * SplatFan::triangles * 3,
                       GL_UNSIGNED_SHORT, a_.fan_triangles);
    else
        glDrawArrays(GL_QUADS, 0, c.used);
}

void ChunkWriter::flush() {
    using Clock = std::chrono::steady_clock;
    fill_ += Clock::now() - mark_;
    drawer_.draw(c_);
    c_.used = 0;
    mark_ = Clock::now();
}

double ChunkWriter::fill_seconds() const {
    return std::chrono::duration<double>(fill_ + (std::chrono::steady_clock::now() - mark_))
        .count();
}

void restore_current_attributes(const ChunkWriter& w) {
    if (!w.any)
        return;
    glNormal3d(w.last.nx, w.last.ny, w.last.nz);
    glColor4f(w.last.r, w.last.g, w.last.b, w.last_alpha);
}
