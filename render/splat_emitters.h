#pragma once

#include "splat_shading.h"

#include <GL/gl.h>

#include <cstdint>

// Where the splat traversal sends each grid point: straight to GL in immediate mode, or into
// vertex arrays drawn a chunk at a time. Both issue the same vertices with the same colours
// and normals in the same order.

// A splat's geometry: its centre and the offsets of its vertices. Fans use offsets 0..6 of the
// octant (centre 6, rim 5, 4, 3, 2, 1, 0, 5); quads use the four view-aligned offsets.
struct SplatGeometry {
    bool fans;
    Vec3 corner[7]; // of the current octant
    Vec3 quad[4];   // of the whole draw
};

inline void gl_vertex(const Vec3& p, const Vec3& offset) {
    const Vec3 v = p.add(offset);
    glVertex3f(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

inline constexpr int splat_rim_order[7] = {5, 4, 3, 2, 1, 0, 5};

class ImmediateEmitter {
public:
    explicit ImmediateEmitter(const SplatGeometry& g) : g_(g) {}

    void emit(const SplatShade& s, const Vec3& p) {
        if (g_.fans) {
            glBegin(GL_TRIANGLE_FAN);
            glNormal3d(s.nx, s.ny, s.nz);
            glColor4f(s.r, s.g, s.b, s.a);
            gl_vertex(p, g_.corner[6]);
            glColor4f(s.r, s.g, s.b, static_cast<float>(0.1 * s.a));
            for (int k : splat_rim_order)
                gl_vertex(p, g_.corner[k]);
            glEnd();
        } else {
            glNormal3d(s.nx, s.ny, s.nz);
            glColor4f(s.r, s.g, s.b, s.a);
            for (const Vec3& q : g_.quad)
                gl_vertex(p, q);
        }
    }

private:
    const SplatGeometry& g_;
};

// One interleaved vertex of the array path.
struct SplatVertex {
    float position[3];
    float normal[3];
    float colour[4];
};

inline constexpr int splat_chunk_splats = 2048;
inline constexpr int splat_chunk_vertices = splat_chunk_splats * 8; // fits 16-bit indices

// One chunk of vertices, filled and then drawn with one call.
struct SplatChunk {
    SplatVertex vertices[splat_chunk_vertices];
    int used = 0;
};

// Scratch storage, allocated once and reused for every frame: the chunk being filled and the
// triangle indices of a chunk of fans.
struct SplatArrays {
    SplatChunk chunks[1];
    GLushort fan_triangles[splat_chunk_splats * 18];

    // Each fan's six triangles (0, k, k + 1), k = 1..6, as the fan itself would draw them.
    void build_indices();
};

// Draws chunks of splats from client-side arrays; owns the client array state in between.
class ChunkDrawer {
public:
    explicit ChunkDrawer(const SplatArrays& a, bool fans);
    ~ChunkDrawer(); // disables the arrays again
    void draw(const SplatChunk& c);

private:
    const SplatArrays& a_;
    bool fans_;
};

// Where a full chunk goes; returns the chunk to fill next.
class ChunkSink {
public:
    virtual SplatChunk* full(SplatChunk* c) = 0;

protected:
    ~ChunkSink() = default;
};

// Fills chunks with the vertices of each splat, in traversal order.
class ChunkWriter {
public:
    ChunkWriter(const SplatGeometry& g, SplatChunk* first, ChunkSink& sink)
        : g_(g), c_(first), sink_(sink) {}

    void emit(const SplatShade& s, const Vec3& p) {
        const int per = g_.fans ? 8 : 4;
        if (c_->used + per > splat_chunk_vertices)
            c_ = sink_.full(c_);
        SplatVertex* v = c_->vertices + c_->used;
        const float n[3] = {static_cast<float>(s.nx), static_cast<float>(s.ny),
                            static_cast<float>(s.nz)};
        if (g_.fans) {
            put(v[0], p, g_.corner[6], n, s, s.a);
            const auto rim_alpha = static_cast<float>(0.1 * s.a);
            for (int i = 0; i < 7; ++i)
                put(v[1 + i], p, g_.corner[splat_rim_order[i]], n, s, rim_alpha);
            last_alpha = rim_alpha;
        } else {
            for (int i = 0; i < 4; ++i)
                put(v[i], p, g_.quad[i], n, s, s.a);
            last_alpha = s.a;
        }
        c_->used += per;
        last = s;
        any = true;
    }

    // Hands over the last, partly filled chunk.
    void finish() {
        if (c_->used > 0)
            c_ = sink_.full(c_);
    }

    // The colour and normal immediate mode would leave current at the end.
    SplatShade last{};
    float last_alpha = 0.0f;
    bool any = false;

private:
    static void put(SplatVertex& v, const Vec3& p, const Vec3& offset, const float n[3],
                    const SplatShade& s, float alpha) {
        const Vec3 q = p.add(offset);
        v.position[0] = static_cast<float>(q.x);
        v.position[1] = static_cast<float>(q.y);
        v.position[2] = static_cast<float>(q.z);
        v.normal[0] = n[0];
        v.normal[1] = n[1];
        v.normal[2] = n[2];
        v.colour[0] = s.r;
        v.colour[1] = s.g;
        v.colour[2] = s.b;
        v.colour[3] = alpha;
    }

    const SplatGeometry& g_;
    SplatChunk* c_;
    ChunkSink& sink_;
};

// After an array draw the current colour and normal are undefined: set them to the ones
// immediate mode would have left (this also leaves the tracked material the same).
void restore_current_attributes(const ChunkWriter& w);
