#pragma once

#include "splat_shading.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdint>

// Where the splat traversal sends each grid point: straight to GL in immediate mode, or into
// vertex arrays drawn a chunk at a time. Both issue the same vertices with the same colours
// and normals in the same order.

// A splat's geometry: its centre and the offsets of its vertices. Fans use the octant's
// corner offsets 0..6 in the order of SplatFan; quads use the four view-aligned offsets.
struct SplatGeometry {
    bool fans;
    Vec3 corner[7]; // of the current octant
    Vec3 quad[4];   // of the whole draw
};

// The one description of a fan, for both emitters: the centre is corner offset 6 (the box
// corner turned towards the eye cell) with the splat's opacity, then the rim runs through
// offsets 5, 4, 3, 2, 1, 0 and 5 again with a tenth of it. Eight vertices, six triangles
// (0, k, k + 1) for k = 1..6: the three faces of the box that meet at the centre.
struct SplatFan {
    static constexpr int vertices = 8;
    static constexpr int triangles = 6;
    static constexpr int offsets[vertices] = {6, 5, 4, 3, 2, 1, 0, 5};
    // The opacity of vertex v: the centre's, or the rim's.
    static float alpha(int v, float a) { return v == 0 ? a : static_cast<float>(0.1 * a); }
};

inline void gl_vertex(const Vec3& p, const Vec3& offset) {
    const Vec3 v = p.add(offset);
    glVertex3f(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

class ImmediateEmitter {
public:
    explicit ImmediateEmitter(const SplatGeometry& g) : g_(g) {}

    // A splat left out (it cannot show): only the current colour and normal it would have
    // left behind are kept, and set by finish() if no splat follows.
    void pass(const SplatShade& s) {
        passed_ = s;
        pending_ = true;
    }
    void finish() {
        if (!pending_)
            return;
        glNormal3d(passed_.nx, passed_.ny, passed_.nz);
        glColor4f(passed_.r, passed_.g, passed_.b,
                  g_.fans ? SplatFan::alpha(SplatFan::vertices - 1, passed_.a) : passed_.a);
    }

    void emit(const SplatShade& s, const Vec3& p) {
        pending_ = false;
        if (g_.fans) {
            glBegin(GL_TRIANGLE_FAN);
            glNormal3d(s.nx, s.ny, s.nz);
            for (int v = 0; v < SplatFan::vertices; ++v) {
                if (v <= 1) // the centre's colour, then the rim's for the rest
                    glColor4f(s.r, s.g, s.b, SplatFan::alpha(v, s.a));
                gl_vertex(p, g_.corner[SplatFan::offsets[v]]);
            }
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
    SplatShade passed_{};
    bool pending_ = false;
};

// One interleaved vertex of the array path.
struct SplatVertex {
    float position[3];
    float normal[3];
    float colour[4];
};

inline constexpr int splat_chunk_splats = 2048;
inline constexpr int splat_chunk_vertices =
    splat_chunk_splats * SplatFan::vertices; // 16-bit indices

// One chunk of vertices, filled and then drawn with one call.
struct SplatChunk {
    SplatVertex vertices[splat_chunk_vertices];
    int used = 0;
};

// Scratch storage, allocated once and reused for every frame: the chunk being filled and the
// triangle indices of a chunk of fans.
struct SplatArrays {
    SplatChunk chunk;
    GLushort fan_triangles[splat_chunk_splats * SplatFan::triangles * 3];

    // Each fan's triangles as the fan itself would draw them.
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

// Fills the chunk with the vertices of each splat, in traversal order, and draws it whenever
// it is full.
class ChunkWriter {
public:
    ChunkWriter(const SplatGeometry& g, SplatChunk& chunk, ChunkDrawer& drawer)
        : g_(g), c_(chunk), drawer_(drawer) {
        c_.used = 0;
    }

    void emit(const SplatShade& s, const Vec3& p) {
        const int per = g_.fans ? SplatFan::vertices : 4;
        if (c_.used + per > splat_chunk_vertices)
            flush();
        SplatVertex* v = c_.vertices + c_.used;
        const float n[3] = {static_cast<float>(s.nx), static_cast<float>(s.ny),
                            static_cast<float>(s.nz)};
        if (g_.fans) {
            for (int i = 0; i < SplatFan::vertices; ++i)
                put(v[i], p, g_.corner[SplatFan::offsets[i]], n, s, SplatFan::alpha(i, s.a));
            last_alpha = SplatFan::alpha(SplatFan::vertices - 1, s.a);
        } else {
            for (int i = 0; i < 4; ++i)
                put(v[i], p, g_.quad[i], n, s, s.a);
            last_alpha = s.a;
        }
        c_.used += per;
        last = s;
        any = true;
    }

    // A splat left out: only the colour and normal it would leave current.
    void pass(const SplatShade& s) {
        last = s;
        last_alpha = g_.fans ? SplatFan::alpha(SplatFan::vertices - 1, s.a) : s.a;
        any = true;
    }
    void finish() {}

    // Draws what the chunk holds.
    void flush();

    // Time spent outside the draw calls since construction: computing and storing vertices.
    double fill_seconds() const;

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
    SplatChunk& c_;
    ChunkDrawer& drawer_;
    std::chrono::steady_clock::duration fill_{};
    std::chrono::steady_clock::time_point mark_ = std::chrono::steady_clock::now();
};

// After an array draw the current colour and normal are undefined: set them to the ones
// immediate mode would have left (this also leaves the tracked material the same).
void restore_current_attributes(const ChunkWriter& w);
