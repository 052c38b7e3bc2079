#include "splat_renderer.h"

#include "shared_constants.h"
#include "splat_emitters.h"
#include "splat_frame.h"
#include "splat_shader_path.h"
#include "splat_traversal.h"
#include "volume.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <typeinfo>

struct SplatRenderer::Scratch : SplatArrays {};

SplatRenderer::SplatRenderer() = default;
SplatRenderer::~SplatRenderer() = default;

const char* splat_drawing_name(SplatDrawing d) {
    switch (d) {
    case SplatDrawing::immediate:
        return "immediate";
    case SplatDrawing::shaders:
        return "shaders";
    case SplatDrawing::arrays:
        break;
    }
    return "arrays";
}

bool parse_splat_drawing(std::string_view word, SplatDrawing& d) {
    for (SplatDrawing each : {SplatDrawing::immediate, SplatDrawing::arrays, SplatDrawing::shaders})
        if (word == splat_drawing_name(each)) {
            d = each;
            return true;
        }
    return false;
}

namespace {

// Visits the grid points back to front and hands each one's shade and position to `out`.
// `geometry.corner` is refreshed for every octant before its points are emitted.
template <class Reader, class Emitter>
std::int64_t traverse(const SplatFrame& f, SplatGeometry& geometry, Reader& in, Emitter& out,
                      std::int64_t& skipped) {
    std::int64_t count = 0;
    skipped = 0;
    in.begin(f.rgba);
    SplatShade s;
    walk_splats(
        f.n, f.step, f.eye_cell, f.view_bits,
        [&](int t, const AxisWalk*) {
            for (int k = 0; k < 7; ++k)
                geometry.corner[k] =
                    splat_corner(splat_corner_codes[k] ^ t, f.step[0], f.step[1], f.step[2]);
        },
        [&](int x, int y, int z) {
            in.shade(f.rgba, x, y, z, f.ramp, s);
            if (f.layers != 1.0)
                s.a = layered_opacity(s.a, f.layers);
            ++count;
            if (f.skip_transparent && s.a <= 0.0f) {
                out.pass(s);
                ++skipped;
                return;
            }
            out.emit(s,
                     Vec3{static_cast<double>(x), static_cast<double>(y), static_cast<double>(z)});
        });
    out.finish();
    in.end(f.rgba, count);
    return count;
}

} // namespace

// The arrays are filled on this thread and each full chunk is drawn at once. (Filling them on
// a second thread while this one draws was measured on 2 cores with Mesa's llvmpipe: slower
// than this for fans and quads alike, the rasteriser's threads wanting the cores.)
template <class Reader>
void SplatRenderer::draw_arrays(const SplatFrame& f, SplatGeometry& geometry, Reader& in) {
    ChunkDrawer drawer(*scratch_, geometry.fans);
    ChunkWriter writer(geometry, scratch_->chunk, drawer);
    last_stats.splats = traverse(f, geometry, in, writer, last_stats.skipped);
    writer.flush();
    last_stats.fill_seconds = writer.fill_seconds();
    restore_current_attributes(writer);
}

void SplatRenderer::issue(const SplatFrame& f, SplatGeometry& geometry) {
    const SplatDrawing way = coarse() ? coarse_drawing : drawing;
    if (way == SplatDrawing::shaders) {
        SplatShaderStats shaders;
        SplatShade last;
        if (draw_splats_with_shaders(this, f, geometry, !coarse(), shaders, last_stats.splats,
                                     last)) {
            last_stats.drawn = SplatDrawing::shaders;
            last_stats.skipped = shaders.skipped;
            last_stats.rebuilt = shaders.rebuilt;
            if (last_stats.splats > 0) { // the colour and normal immediate mode would leave
                glNormal3d(last.nx, last.ny, last.nz);
                glColor4f(last.r, last.g, last.b,
                          geometry.fans ? SplatFan::alpha(SplatFan::vertices - 1, last.a) : last.a);
            }
            return;
        }
    }
    if (way != SplatDrawing::immediate && !scratch_) {
        scratch_.reset(new (std::nothrow) Scratch);
        if (scratch_)
            scratch_->build_indices();
    }
    if (way == SplatDrawing::immediate || !scratch_) {
        // The reference path, also the fallback without memory.
        last_stats.drawn = SplatDrawing::immediate;
        if (!geometry.fans)
            glBegin(GL_QUADS);
        ImmediateEmitter out(geometry);
        VirtualReader in{*volume};
        last_stats.splats = traverse(f, geometry, in, out, last_stats.skipped);
        if (!geometry.fans)
            glEnd();
        return;
    }
    last_stats.drawn = SplatDrawing::arrays;
    if (typeid(*volume) == typeid(Volume)) {
        ArrayReader in{*volume};
        draw_arrays(f, geometry, in);
    } else {
        VirtualReader in{*volume};
        draw_arrays(f, geometry, in);
    }
}

void SplatRenderer::add_frame_inputs(FrameInputs& in) const {
    in.add(volume);
    if (volume) {
        in.add(volume->samples);
        in.add(volume->nx);
        in.add(volume->ny);
        in.add(volume->nz);
        in.add(volume->ncomp);
        in.add(volume->valid);
        in.add(volume->component);
        in.add(volume->is_rgba());
    }
    in.add(mode);
    in.add(step_x);
    in.add(step_y);
    in.add(step_z);
    in.add(value_std_dev);
    in.add(value_mean);
    in.add(opacity_offset);
    in.add(opacity_scale);
    in.add(camera);
    if (camera)
        in.add(*camera);
    in.add(axis_scale);
    in.add(step_opacity_correction);
    in.add(detail.x);
    in.add(detail.y);
    in.add(detail.z);
    in.add(drawing);
    in.add(coarse_drawing);
    in.add(skip_transparent);
    in.add(fan_depth_writes);
}

void SplatRenderer::fit_depth(double& near, double& far) const {
    if (!volume || !camera)
        return;
    // Each grid point's box reaches half a unit beyond it: n + 1 units along each axis.
    const double ex = (volume->dim(0) + 1.0) * axis_scale.x;
    const double ey = (volume->dim(1) + 1.0) * axis_scale.y;
    const double ez = (volume->dim(2) + 1.0) * axis_scale.z;
    const double radius = 0.5 * std::sqrt(ex * ex + ey * ey + ez * ez);
    const double depth = std::fabs(camera->distance()); // from the eye to the grid's centre
    if (!std::isfinite(radius) || !std::isfinite(depth))
        return;
    if (depth + radius > far)
        far = (depth + radius) * 1.01;
    // Far away, the near plane moves out with the far one, which keeps the depth buffer's
    // precision; the grid stays beyond it.
    if (far > default_far_plane && depth - radius > near)
        near = std::max(near, std::min(0.5 * (depth - radius), far / 1000.0));
}

Vec3 SplatRenderer::eye_in_grid() const {
    const Vec3& scale = axis_scale;
    Vec3 e = camera->eye();
    if (scale.x != 1.0 || scale.y != 1.0 || scale.z != 1.0)
        e = Vec3{e.x / scale.x, e.y / scale.y, e.z / scale.z};
    return e.add(Vec3{volume->dim(0) / 2.0, volume->dim(1) / 2.0, volume->dim(2) / 2.0});
}

SplatRenderer::Lattice SplatRenderer::lattice(const Detail& with) const {
    Lattice l;
    if (!volume || !camera)
        return l;
    const int steps[3] = {step_x * with.x, step_y * with.y, step_z * with.z};
    const Vec3 e = eye_in_grid();
    const double eye[3] = {e.x, e.y, e.z};
    for (int i = 0; i < 3; ++i) {
        l.n[i] = volume->dim(i);
        l.step[i] = steps[i];
        l.eye_cell[i] = splat_eye_coordinate(eye[i]);
    }
    return l;
}

void SplatRenderer::draw() {
    last_stats = {};
    if (!volume)
        return;
    if (before_drawing)
        before_drawing(lattice(detail));

    const GLfloat specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat ambient_diffuse[4] = {0.2f, 0.0f, 0.7f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, ambient_diffuse);
    glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, 128);

    SplatFrame f;
    f.volume = volume;
    f.rgba = volume->is_rgba();
    for (int i = 0; i < 3; ++i)
        f.n[i] = volume->dim(i);
    // A volume sized without a sample array (a failed allocation), or a colour volume with
    // fewer than four components, has nothing that can be read: draw it as empty.
    if (!volume->samples || (f.rgba && volume->ncomp < 4))
        f.n[0] = f.n[1] = f.n[2] = 0;

    glPushMatrix();
    const Vec3& scale = axis_scale;
    const bool stretched = scale.x != 1.0 || scale.y != 1.0 || scale.z != 1.0;
    if (stretched) {
        // The normals go through the inverse of the stretch, which turns a grid gradient into
        // the stretched grid's; GL_NORMALIZE gives them unit length again.
        glScaled(scale.x, scale.y, scale.z);
        glEnable(GL_NORMALIZE);
    }
    glTranslated(-volume->dim(0) / 2.0, -volume->dim(1) / 2.0, -volume->dim(2) / 2.0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Fans are drawn back to front within each octant, so their depth values decide nothing
    // there; across the planes through the eye cell, though, a near fan of one octant would
    // hide the far fans of an octant drawn after it and leave a dark seam through the
    // picture (a cross when the eye is near the grid). Fans therefore test depth but do not
    // write it. Quads overlap their neighbours, and their depth stays part of their look.
    GLboolean depth_writes = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_writes);
    if (mode != 0 && !fan_depth_writes)
        glDepthMask(GL_FALSE);

    SplatGeometry geometry;
    geometry.fans = mode != 0;
    f.ramp = {0.5 / value_std_dev, value_mean, value_std_dev, opacity_offset, opacity_scale};
    // The frame's steps: the owner's, times the detail factors of a coarse frame.
    const int sx = step_x * detail.x, sy = step_y * detail.y, sz = step_z * detail.z;
    f.step[0] = sx;
    f.step[1] = sy;
    f.step[2] = sz;
    // The eye axis in grid coordinates, where the order and the steps count (a flipped axis
    // runs the other way there).
    Vec3 d = camera->axis(0);
    if (stretched)
        d = Vec3{d.x / scale.x, d.y / scale.y, d.z / scale.z};
    f.view_bits = splat_view_bits(d);
    f.skip_transparent = skip_transparent && geometry.fans && !fan_depth_writes;
    if (step_opacity_correction || coarse())
        f.layers = splat_layers(d, sx, sy, sz);
    const Vec3 e = eye_in_grid();
    f.eye = e;
    f.eye_cell[0] = splat_eye_coordinate(e.x);
    f.eye_cell[1] = splat_eye_coordinate(e.y);
    f.eye_cell[2] = splat_eye_coordinate(e.z);
    const Vec3 up = camera->axis(2);
    const Vec3 side = camera->axis(1);
    const auto stepped = [&](const Vec3& v) {
        return Vec3{0.5 * v.x * sx, 0.5 * v.y * sy, 0.5 * v.z * sz};
    };
    geometry.quad[0] = stepped(up.sub(side));
    geometry.quad[1] = stepped(up.add(side));
    geometry.quad[2] = stepped(side.sub(up));
    geometry.quad[3] = stepped(up.add(side)).scaled(-1.0);

    issue(f, geometry);
    if (stretched)
        glDisable(GL_NORMALIZE);
    glDepthMask(depth_writes);
    glPopMatrix();
}
