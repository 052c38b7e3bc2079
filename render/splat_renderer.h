#pragma once

#include "camera.h"
#include "depth_extent.h"
#include "drawable.h"
#include "frame_inputs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

class Volume;

// How the splat renderer issues its splats (see SplatRenderer).
enum class SplatDrawing { immediate, arrays, shaders };

// "immediate", "arrays", "shaders".
const char* splat_drawing_name(SplatDrawing d);
// The drawing of that name; false for any other word.
bool parse_splat_drawing(std::string_view word, SplatDrawing& d);

// What the last draw did, for the benchmarks and tests.
struct SplatStats {
    std::int64_t splats = 0;  // grid points visited in the back-to-front order
    std::int64_t skipped = 0; // of those, left out as fully transparent
    // Time spent filling vertex arrays, between their draws (0 in immediate mode).
    double fill_seconds = 0.0;
    SplatDrawing drawn = SplatDrawing::arrays; // the path that drew (shaders may fall back)
    bool rebuilt = false; // the shader path built its splat buffer anew for this frame
};

struct SplatFrame;
struct SplatGeometry;

// Draws a volume by splatting: every visited grid point becomes a small lit, alpha-blended
// fan (the three faces of its box that face the eye) or a view-aligned quad, emitted back to
// front from the camera's eye. Runs inside a view frame, after the view controller has set the
// light and the look-at; centres the grid on the origin and leaves depth testing as it is.
//
// Three ways to issue the splats, chosen by `drawing`: immediate mode, the reference; client-side
// vertex arrays filled per frame from a reused scratch buffer (the default), the same
// primitives in the same order with the same colours and normals, so the same pixels; and
// shaders (splat_shader_path.h), which keep the colour volume's splats in a GL buffer between
// frames and draw each one as a point sprite shaded as its fan or quad, with a few pixels'
// difference. Where the context, the GL state or the frame does not suit the shaders (and for
// volumes other than plain colour volumes), the array path draws.
class SplatRenderer : public Drawable, public FrameSource, public DepthExtent {
public:
    SplatRenderer();
    ~SplatRenderer();
    SplatRenderer(const SplatRenderer&) = delete;
    SplatRenderer& operator=(const SplatRenderer&) = delete;

    void draw() override;
    // The fields, the camera and the volume's extents and array (not its samples' values).
    void add_frame_inputs(FrameInputs& inputs) const override;
    // The grid's bounding sphere, stretched by the axis scale, seen from the camera's eye.
    void fit_depth(double& near, double& far) const override;

    Volume* volume = nullptr; // not owned; null draws nothing
    // 0: one quad per grid point; any other value: one triangle fan per grid point.
    std::int32_t mode = 1;
    // Traversal stride along each axis and the splat's size along it; below 1 draws nothing.
    std::int32_t step_x = 4;
    std::int32_t step_y = 4;
    std::int32_t step_z = 4;
    // Scalar path only: samples are normalised with these (set by the owner before drawing).
    double value_std_dev = 0.0;
    double value_mean = 0.0;
    // Scalar path only: shift and slope of the opacity ramp.
    double opacity_offset = 0.0;
    double opacity_scale = 1.0;
    const Camera* camera = &default_camera; // not owned
    // The grid is drawn stretched by these factors along x, y and z (each grid point's box
    // with it), lit with the normals of the stretched grid and ordered back to front from the
    // eye's position in grid coordinates. A negative factor flips that axis. (1, 1, 1) issues
    // no scaling at all.
    Vec3 axis_scale{1.0, 1.0, 1.0};

    // With a step above 1 each splat stands for a block of grid points, and a ray passes
    // through fewer splats. When set, each splat's opacity A becomes 1 - (1 - A)^m, m being
    // how many splats of step 1 the ray would have crossed per splat of these steps along the
    // eye axis, so the coarser picture keeps the brightness and colour of the full one. Has no
    // effect with all steps 1.
    bool step_opacity_correction = false;

    // The detail of the next frame, chosen by the view's frame policy: each step is multiplied
    // by its factor, and a frame with any factor above 1 gets the opacity correction above.
    // (1, 1, 1), the owner's own detail, leaves the steps and the correction as set.
    struct Detail {
        std::int32_t x = 1, y = 1, z = 1;
        bool operator==(const Detail&) const = default;
    };
    Detail detail;
    bool coarse() const { return !(detail == Detail{}); }

    SplatDrawing drawing = SplatDrawing::arrays;
    // How coarse frames (a detail above 1) are drawn. They need not match anything exactly,
    // so by default they take the shaders, whose splats cost least, and the detail policy can
    // choose finer steps. A coarse frame builds the shaders' buffer only for a colour volume
    // that its frame before saw too (a drag): while the colour volume changes from frame to
    // frame (a realtime edit, playback) it falls back to the arrays.
    SplatDrawing coarse_drawing = SplatDrawing::shaders;
    // Leave out grid points whose opacity is 0 at the centre and the rim where that draws the
    // same pixels: fans that do not write depth (the default) show nothing there and leave
    // nothing behind. Quads, and fans that write depth, write depth even where they show
    // nothing, so theirs are drawn. Off draws every grid point. (The shader path always leaves
    // them out.)
    bool skip_transparent = true;
    // Fans write depth as well as test it, as they once did: a dark seam then runs through
    // the picture along the planes through the eye cell. For tests of that older picture.
    bool fan_depth_writes = false;
    SplatStats last_stats;

    // The grid points a frame drawn now would visit with these detail factors: the volume's
    // extents, the frame's steps and the eye's cell, which fix the back-to-front walk
    // (walk_splats). Two frames with equal lattices visit the same grid points.
    struct Lattice {
        int n[3] = {0, 0, 0};
        int step[3] = {0, 0, 0};
        std::int64_t eye_cell[3] = {0, 0, 0};
        bool operator==(const Lattice&) const = default;
    };
    Lattice lattice(const Detail& with) const;
    // Called as each draw starts, with the lattice it draws: the owner may fill in the colours
    // of the grid points the frame reads (the scene does after a step of playback classified
    // only the points of a coarser frame).
    std::function<void(const Lattice&)> before_drawing;

private:
    // The eye in grid coordinates (grid point (x, y, z) at x, y, z), through the axis scale.
    Vec3 eye_in_grid() const;
    // Sends the frame's splats down the chosen path (or the one it falls back to).
    void issue(const SplatFrame& f, SplatGeometry& geometry);
    template <class Reader>
    void draw_arrays(const SplatFrame& f, SplatGeometry& geometry, Reader& in);

    struct Scratch;
    std::unique_ptr<Scratch> scratch_; // vertex arrays, reused from frame to frame
};
