#define GL_GLEXT_PROTOTYPES 1

#include "splat_shader_path.h"

#include "splat_sprite_shaders.h"
#include "splat_traversal.h"
#include "view_frame.h"
#include "volume.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <typeinfo>

namespace {

// 64-bit hash of a byte array in four independent lanes (the inner step of xxHash64), fast
// enough to run over a colour volume's samples every frame.
std::uint64_t content_hash(const void* data, std::size_t bytes) {
    constexpr std::uint64_t p1 = 0x9E3779B185EBCA87ull, p2 = 0xC2B2AE3D27D4EB4Full;
    const auto rotl = [](std::uint64_t v, int r) { return (v << r) | (v >> (64 - r)); };
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint64_t lane[4] = {p1 + p2, p2, 0, 0 - p1};
    std::size_t i = 0;
    for (; i + 32 <= bytes; i += 32)
        for (int k = 0; k < 4; ++k) {
            std::uint64_t v;
            std::memcpy(&v, p + i + 8 * k, 8);
            lane[k] = rotl(lane[k] + v * p2, 31) * p1;
        }
    std::uint64_t h = rotl(lane[0], 1) + rotl(lane[1], 7) + rotl(lane[2], 12) + rotl(lane[3], 18);
    for (; i < bytes; ++i)
        h = rotl(h ^ (p[i] * p1), 11) * p2;
    return h ^ bytes;
}

// What the splat buffer was built from.
struct SplatSource {
    const float* samples = nullptr;
    int nx = 0, ny = 0, nz = 0, ncomp = 0;
    bool valid = false;
    std::uint64_t hash = 0;
    bool operator==(const SplatSource&) const = default;
};

SplatSource source_of(const Volume& v) {
    SplatSource s;
    s.samples = v.samples;
    s.nx = v.nx;
    s.ny = v.ny;
    s.nz = v.nz;
    s.ncomp = v.ncomp;
    s.valid = v.valid;
    s.hash = content_hash(v.samples, static_cast<std::size_t>(v.sample_count()) * sizeof(float));
    return s;
}

// The buffer's layout: per grid point, in grid order.
struct SplatRecord {
    float colour[4];
    float normal[3];
    float rim_alpha;
};
static_assert(sizeof(SplatRecord) == 32);

GLuint compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    if (!shader)
        return 0;
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// GL 3.3 with the compatibility profile's built-in state: what the shaders are written for.
bool context_suits() {
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2)
        return false;
    return major > 3 || (major == 3 && minor >= 3);
}

// The fixed-function state the shaders reproduce: one directional light (or none) with a
// viewer at infinity, one-sided, single-colour lighting, colour material on both faces for
// ambient and diffuse, smooth shading, filled and unculled polygons, no fog, texture, clip
// plane, stencil, alpha test, smoothing or multisampling, and drawing (not feedback).
bool state_suits() {
    GLint value = 0;
    glGetIntegerv(GL_RENDER_MODE, &value);
    if (value != GL_RENDER)
        return false;
    const GLenum off[] = {GL_FOG,
                          GL_TEXTURE_1D,
                          GL_TEXTURE_2D,
                          GL_TEXTURE_3D,
                          GL_TEXTURE_CUBE_MAP,
                          GL_ALPHA_TEST,
                          GL_CULL_FACE,
                          GL_POLYGON_STIPPLE,
                          GL_POINT_SMOOTH,
                          GL_POLYGON_SMOOTH,
                          GL_STENCIL_TEST,
                          GL_COLOR_LOGIC_OP,
                          GL_POLYGON_OFFSET_FILL,
                          GL_RESCALE_NORMAL};
    for (GLenum cap : off)
        if (glIsEnabled(cap))
            return false;
    GLint sample_buffers = 0; // multisampling is on by default but acts only with samples
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sample_buffers);
    if (sample_buffers > 0 && glIsEnabled(GL_MULTISAMPLE))
        return false;
    GLint clip_planes = 6;
    glGetIntegerv(GL_MAX_CLIP_PLANES, &clip_planes);
    for (int i = 0; i < clip_planes; ++i)
        if (glIsEnabled(GL_CLIP_PLANE0 + i))
            return false;
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    if (modes[0] != GL_FILL || modes[1] != GL_FILL || value != GL_SMOOTH)
        return false;
    if (!glIsEnabled(GL_LIGHTING))
        return true;
    GLint lights = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &lights);
    if (!glIsEnabled(GL_LIGHT0))
        return false;
    for (int i = 1; i < lights; ++i)
        if (glIsEnabled(GL_LIGHT0 + i))
            return false;
    GLfloat position[4], cutoff = 0;
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, &cutoff);
    if (position[3] != 0.0f || cutoff != 180.0f)
        return false;
    GLint local = 1, two_side = 1, control = 0, face = 0, parameter = 0;
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &local);
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &two_side);
    glGetIntegerv(GL_LIGHT_MODEL_COLOR_CONTROL, &control);
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &face);
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &parameter);
    return !local && !two_side && control == GL_SINGLE_COLOR && glIsEnabled(GL_COLOR_MATERIAL) &&
           face == GL_FRONT_AND_BACK && parameter == GL_AMBIENT_AND_DIFFUSE;
}

// m (column-major, as GL stores it) times (x, y, z, w).
void transform(const double m[16], const double v[4], double out[4]) {
    for (int r = 0; r < 4; ++r)
        out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
}

// Whether every splat of the frame lies between the near and far planes (so nothing is
// clipped and no fan reaches behind the eye) and is small enough for a point sprite.
bool geometry_suits(const SplatFrame& f, const double mvp[16], const double modelview[16],
                    const double projection[16], const GLint viewport[4], float max_point) {
    double nearest = std::numeric_limits<double>::infinity();
    for (int c = 0; c < 8; ++c) {
        double v[4] = {0, 0, 0, 1}, clip[4];
        for (int i = 0; i < 3; ++i)
            v[i] = (c >> i) & 1 ? f.n[i] - 1 + 0.5 * f.step[i] : -0.5 * f.step[i];
        transform(mvp, v, clip);
        const double margin = 1.0 - 1e-6;
        if (!(clip[3] > 0.0) || !(std::fabs(clip[2]) < margin * clip[3]))
            return false;
        nearest = std::min(nearest, clip[3]);
    }
    // A box's extent in window pixels is below its edges' lengths in eye space times the
    // projection's scale, plus as much again for its distance off the axis of view, over
    // the nearest depth; a sprite kept inside the viewport may need twice that.
    double length = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double e[4] = {i == 0 ? double(f.step[0]) : 0.0, i == 1 ? double(f.step[1]) : 0.0,
                             i == 2 ? double(f.step[2]) : 0.0, 0.0};
        double eye_space[4];
        transform(modelview, e, eye_space);
        length += std::sqrt(eye_space[0] * eye_space[0] + eye_space[1] * eye_space[1] +
                            eye_space[2] * eye_space[2]);
    }
    const double scale = std::max((std::fabs(projection[0]) + 1.5) * viewport[2],
                                  (std::fabs(projection[5]) + 1.5) * viewport[3]) *
                         0.5;
    const double extent = length * scale / nearest;
    return 2.0 * extent + 4.0 <= max_point;
}

// The splat buffer and the program of one view's context.
class SplatSprites final : public ViewResource {
public:
    void release() override {
        if (program_)
            glDeleteProgram(program_);
        if (vertex_array_)
            glDeleteVertexArrays(1, &vertex_array_);
        GLuint buffers[2] = {splats_, indices_};
        glDeleteBuffers(2, buffers);
        program_ = vertex_array_ = splats_ = indices_ = 0;
        usable_ = false;
    }

    // Compiles the program and makes the buffers once; false when the context cannot.
    bool prepare() {
        if (prepared_)
            return usable_;
        prepared_ = true;
        if (!context_suits())
            return false;
        const GLuint vs = compile(GL_VERTEX_SHADER, splat_sprite_vertex_shader);
        const GLuint fs = compile(GL_FRAGMENT_SHADER, splat_sprite_fragment_shader);
        if (vs && fs) {
            program_ = glCreateProgram();
            glAttachShader(program_, vs);
            glAttachShader(program_, fs);
            glLinkProgram(program_);
        }
        if (vs)
            glDeleteShader(vs);
        if (fs)
            glDeleteShader(fs);
        GLint linked = GL_FALSE;
        if (program_)
            glGetProgramiv(program_, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE)
            return false;
        const char* names[] = {"extent",
                               "inverse_extent",
                               "corner",
                               "quads",
                               "lower",
                               "half_step",
                               "eye",
                               "viewport",
                               "layers",
                               "lit",
                               "normalize_normal",
                               "light_direction",
                               "half_vector",
                               "max_point_size"};
        for (int i = 0; i < uniforms; ++i)
            location_[i] = glGetUniformLocation(program_, names[i]);
        GLuint buffers[2];
        glGenBuffers(2, buffers);
        splats_ = buffers[0];
        indices_ = buffers[1];
        glGenVertexArrays(1, &vertex_array_);
        glBindVertexArray(vertex_array_);
        glBindBuffer(GL_ARRAY_BUFFER, splats_);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(SplatRecord), nullptr);
        glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, sizeof(SplatRecord),
                              reinterpret_cast<const void*>(offsetof(SplatRecord, normal)));
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_);
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        GLfloat range[2] = {1.0f, 1.0f};
        glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, range);
        max_point_ = range[1];
        usable_ = glGetError() == GL_NO_ERROR;
        return usable_;
    }

    // Brings the buffer up to the volume's samples; false when it cannot be held, or would
    // have to be rebuilt and may not.
    bool update(Volume& v, bool may_rebuild, bool& rebuilt) {
        rebuilt = false;
        const SplatSource now = source_of(v);
        const bool steady = now == last_seen_;
        last_seen_ = now;
        if (now == source_)
            return built_;
        if (!may_rebuild && !steady)
            return false;
        source_ = now;
        rebuilt = true;
        built_ = build(v);
        return built_;
    }

    float max_point() const { return max_point_; }
    GLuint program() const { return program_; }
    GLuint vertex_array() const { return vertex_array_; }
    GLuint index_buffer() const { return indices_; }
    GLint location(int i) const { return location_[i]; }
    bool visible(std::int64_t i) const { return (visible_[i >> 6] >> (i & 63)) & 1; }
    // Room for one index per grid point: the order of a frame.
    GLuint* order() { return order_.get(); }

    enum Uniform {
        u_extent,
        u_inverse_extent,
        u_corner,
        u_quads,
        u_lower,
        u_half_step,
        u_eye,
        u_viewport,
        u_layers,
        u_lit,
        u_normalize,
        u_light_direction,
        u_half_vector,
        u_max_point,
        uniforms
    };

private:
    // Each grid point's colour, its normal against the opacity gradient and its rim opacity,
    // exactly as the array path computes them, written straight into the mapped buffer; and
    // which points can show at all.
    bool build(Volume& v) {
        const std::int64_t count = static_cast<std::int64_t>(v.nx) * v.ny * v.nz;
        const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(SplatRecord);
        const auto words = static_cast<std::size_t>((count + 63) / 64);
        visible_.reset(new (std::nothrow) std::uint64_t[words]());
        order_.reset(new (std::nothrow) GLuint[static_cast<std::size_t>(count)]);
        if (!visible_ || !order_)
            return false;
        while (glGetError() != GL_NO_ERROR) {
        }
        glBindBuffer(GL_ARRAY_BUFFER, splats_);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STATIC_DRAW);
        auto* out = static_cast<SplatRecord*>(
            glMapBufferRange(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes),
                             GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT));
        if (!out) {
            glBindBuffer(GL_ARRAY_BUFFER, 0);
            return false;
        }
        const int component = v.component;
        v.component = 3; // the normals are gradients of the opacity
        std::int64_t i = 0;
        for (int z = 0; z < v.nz; ++z)
            for (int y = 0; y < v.ny; ++y)
                for (int x = 0; x < v.nx; ++x, ++i) {
                    const float* p = v.samples + v.flat_index(x, y, z, 0);
                    SplatShade s;
                    normal_from_gradient(v.gradient_at_index(x, y, z), s);
                    SplatRecord& r = out[i];
                    std::memcpy(r.colour, p, sizeof r.colour);
                    r.normal[0] = static_cast<float>(s.nx);
                    r.normal[1] = static_cast<float>(s.ny);
                    r.normal[2] = static_cast<float>(s.nz);
                    r.rim_alpha = SplatFan::alpha(1, p[3]);
                    // Opacity 0 (or below, clamped to 0) at the centre and the rim: nothing
                    // shows, whatever lies behind.
                    if (!(p[3] <= 0.0f))
                        visible_[i >> 6] |= std::uint64_t{1} << (i & 63);
                }
        v.component = component;
        const bool kept = glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        return kept && glGetError() == GL_NO_ERROR;
    }

    bool prepared_ = false;
    bool usable_ = false;
    bool built_ = false;
    SplatSource source_;
    SplatSource last_seen_; // the samples of the last frame that asked for the buffer
    GLuint program_ = 0, vertex_array_ = 0, splats_ = 0, indices_ = 0;
    GLint location_[uniforms] = {};
    float max_point_ = 1.0f;
    std::unique_ptr<std::uint64_t[]> visible_;
    std::unique_ptr<GLuint[]> order_;
};

// The program's state the frame changes, put back afterwards.
class BindingGuard {
public:
    BindingGuard() {
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertex_array_);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &array_buffer_);
        point_size_ = glIsEnabled(GL_PROGRAM_POINT_SIZE);
    }
    ~BindingGuard() {
        glUseProgram(static_cast<GLuint>(program_));
        glBindVertexArray(static_cast<GLuint>(vertex_array_));
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(array_buffer_));
        if (!point_size_)
            glDisable(GL_PROGRAM_POINT_SIZE);
    }
    BindingGuard(const BindingGuard&) = delete;
    BindingGuard& operator=(const BindingGuard&) = delete;

private:
    GLint program_ = 0, vertex_array_ = 0, array_buffer_ = 0;
    GLboolean point_size_ = GL_FALSE;
};

} // namespace

bool draw_splats_with_shaders(const void* owner, const SplatFrame& f, const SplatGeometry& g,
                              bool may_rebuild, SplatShaderStats& stats, std::int64_t& drawn,
                              SplatShade& last) {
    stats = {};
    drawn = 0;
    ViewFrame* view = ViewFrame::current();
    if (!view || !f.volume || !f.rgba || typeid(*f.volume) != typeid(Volume))
        return false;
    Volume& v = *f.volume;
    const std::int64_t count = static_cast<std::int64_t>(f.n[0]) * f.n[1] * f.n[2];
    // The vertex shader finds a grid point from its index in floats: up to 2^24 points.
    if (!v.samples || v.ncomp < 4 || count <= 0 || count > (std::int64_t{1} << 24) ||
        f.step[0] < 1 || f.step[1] < 1 || f.step[2] < 1)
        return false;
    if (!state_suits())
        return false;

    auto* sprites = static_cast<SplatSprites*>(view->resource(owner));
    if (!sprites) {
        auto* made = new (std::nothrow) SplatSprites;
        if (!made)
            return false;
        sprites = static_cast<SplatSprites*>(
            view->set_resource(owner, std::unique_ptr<ViewResource>(made)));
    }
    if (!sprites->prepare())
        return false;

    double modelview[16], projection[16], mvp[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    for (int c = 0; c < 4; ++c)
        transform(projection, modelview + 4 * c, mvp + 4 * c);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (!geometry_suits(f, mvp, modelview, projection, viewport, sprites->max_point()))
        return false;
    if (!sprites->update(v, may_rebuild, stats.rebuilt))
        return false;

    // The order of this frame: the visible grid points of each octant, back to front.
    GLuint* order = sprites->order();
    std::size_t used = 0;
    struct OctantDraw {
        int t;
        std::size_t first, count;
    };
    OctantDraw octants[8];
    int octant_count = 0;
    std::int64_t visited = 0;
    int last_point[3] = {0, 0, 0};
    const std::int64_t row = f.n[0], plane = static_cast<std::int64_t>(f.n[0]) * f.n[1];
    walk_splats(
        f.n, f.step, f.eye_cell, f.view_bits,
        [&](int t, const AxisWalk*) {
            if (octant_count > 0)
                octants[octant_count - 1].count = used - octants[octant_count - 1].first;
            octants[octant_count++] = {t, used, 0};
        },
        [&](int x, int y, int z) {
            const std::int64_t i = z * plane + y * row + x;
            if (sprites->visible(i))
                order[used++] = static_cast<GLuint>(i);
            last_point[0] = x;
            last_point[1] = y;
            last_point[2] = z;
            ++visited;
        });
    if (octant_count > 0)
        octants[octant_count - 1].count = used - octants[octant_count - 1].first;
    drawn = visited;
    stats.skipped = visited - static_cast<std::int64_t>(used);

    BindingGuard guard;
    glUseProgram(sprites->program());
    glBindVertexArray(sprites->vertex_array());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, sprites->index_buffer());
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(used * sizeof(GLuint)), order,
                 GL_STREAM_DRAW);
    glEnable(GL_PROGRAM_POINT_SIZE);

    const auto at = [&](SplatSprites::Uniform u) { return sprites->location(u); };
    glUniform3i(at(SplatSprites::u_extent), f.n[0], f.n[1], f.n[2]);
    glUniform2f(at(SplatSprites::u_inverse_extent), static_cast<float>(1.0 / f.n[0]),
                static_cast<float>(1.0 / f.n[1]));
    glUniform1i(at(SplatSprites::u_quads), g.fans ? 0 : 1);
    glUniform3f(at(SplatSprites::u_half_step), 0.5f * f.step[0], 0.5f * f.step[1],
                0.5f * f.step[2]);
    glUniform3f(at(SplatSprites::u_eye), static_cast<float>(f.eye.x), static_cast<float>(f.eye.y),
                static_cast<float>(f.eye.z));
    glUniform4f(at(SplatSprites::u_viewport), static_cast<float>(viewport[0]),
                static_cast<float>(viewport[1]), static_cast<float>(viewport[2]),
                static_cast<float>(viewport[3]));
    glUniform1f(at(SplatSprites::u_layers), static_cast<float>(f.layers));
    glUniform1i(at(SplatSprites::u_lit), glIsEnabled(GL_LIGHTING) ? 1 : 0);
    glUniform1i(at(SplatSprites::u_normalize), glIsEnabled(GL_NORMALIZE) ? 1 : 0);
    glUniform1f(at(SplatSprites::u_max_point), sprites->max_point());
    {
        // The light's direction was given in eye coordinates; the half vector is the one of a
        // viewer at infinity.
        GLfloat p[4];
        glGetLightfv(GL_LIGHT0, GL_POSITION, p);
        double l[3] = {p[0], p[1], p[2]};
        const double ll = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
        if (ll > 0.0)
            for (double& c : l)
                c /= ll;
        double h[3] = {l[0], l[1], l[2] + 1.0};
        const double hl = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
        if (hl > 0.0)
            for (double& c : h)
                c /= hl;
        glUniform3f(at(SplatSprites::u_light_direction), static_cast<float>(l[0]),
                    static_cast<float>(l[1]), static_cast<float>(l[2]));
        glUniform3f(at(SplatSprites::u_half_vector), static_cast<float>(h[0]),
                    static_cast<float>(h[1]), static_cast<float>(h[2]));
    }
    const auto clip_offset = [&](const Vec3& o, float out[4]) {
        const double d[4] = {o.x, o.y, o.z, 0.0};
        double c[4];
        transform(mvp, d, c);
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<float>(c[i]);
    };
    float quad[7][4] = {};
    if (!g.fans)
        for (int k = 0; k < 4; ++k)
            clip_offset(g.quad[k], quad[k]);
    for (int o = 0; o < octant_count; ++o) {
        const OctantDraw& d = octants[o];
        if (d.count == 0)
            continue;
        if (g.fans) {
            // The fan's centre (corner offset 6), then its rim (offsets 5, 4, 3, 2, 1, 0).
            float corners[7][4];
            for (int k = 0; k < 7; ++k) {
                const int offset = SplatFan::offsets[k];
                clip_offset(
                    splat_corner(splat_corner_codes[offset] ^ d.t, f.step[0], f.step[1], f.step[2]),
                    corners[k]);
            }
            glUniform4fv(at(SplatSprites::u_corner), 7, corners[0]);
            glUniform3i(at(SplatSprites::u_lower), (d.t & 1) ? 0 : 1, (d.t & 2) ? 0 : 1,
                        (d.t & 4) ? 0 : 1);
        } else {
            glUniform4fv(at(SplatSprites::u_corner), 7, quad[0]);
        }
        glDrawElements(GL_POINTS, static_cast<GLsizei>(d.count), GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(d.first * sizeof(GLuint)));
    }

    if (visited > 0) {
        // The rgba path leaves component 3 selected, as immediate mode does.
        v.component = 3;
        ArrayReader in{v};
        in.shade(true, last_point[0], last_point[1], last_point[2], f.ramp, last);
        if (f.layers != 1.0)
            last.a = layered_opacity(last.a, f.layers);
    }
    return true;
}
