#pragma once

#include "splat_shading.h"

#include <GL/gl.h>

#include <chrono>
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

// Fixed-size scratch storage, allocated once and reused for every frame.
struct SplatArrays {
    static constexpr int chunk_splats = 4096;
    static constexpr int max_vertices = chunk_splats * 8;
    SplatVertex vertices[max_vertices];
    GLint firsts[chunk_splats];
    GLsizei counts[chunk_splats];
};

class ArrayEmitter {
public:
    ArrayEmitter(const SplatGeometry& g, SplatArrays& a);
    ~ArrayEmitter() { finish(); }

    // Draws what is left, disables the arrays and leaves the current colour and normal as
    // immediate mode would. Runs once; the destructor calls it if nobody did.
    void finish();

    void emit(const SplatShade& s, const Vec3& p) {
        const int per = g_.fans ? 8 : 4;
        if (used_ + per > SplatArrays::max_vertices)
            flush();
        SplatVertex* v = a_.vertices + used_;
        const float n[3] = {static_cast<float>(s.nx), static_cast<float>(s.ny),
                            static_cast<float>(s.nz)};
        if (g_.fans) {
            put(v[0], p, g_.corner[6], n, s, s.a);
            const auto rim_alpha = static_cast<float>(0.1 * s.a);
            for (int i = 0; i < 7; ++i)
                put(v[1 + i], p, g_.corner[splat_rim_order[i]], n, s, rim_alpha);
            last_alpha_ = rim_alpha;
        } else {
            for (int i = 0; i < 4; ++i)
                put(v[i], p, g_.quad[i], n, s, s.a);
            last_alpha_ = s.a;
        }
        used_ += per;
        last_ = s;
        any_ = true;
    }

    double fill_seconds() const { return std::chrono::duration<double>(fill_).count(); }

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
    void flush();

    const SplatGeometry& g_;
    SplatArrays& a_;
    int used_ = 0;
    bool any_ = false;
    bool finished_ = false;
    SplatShade last_{};
    float last_alpha_ = 0.0f;
    // Time outside the draw calls: computing and storing the vertices.
    std::chrono::steady_clock::duration fill_{};
    std::chrono::steady_clock::time_point mark_;
};
