#pragma once

#include "camera.h"
#include "drawable.h"

#include <cstdint>
#include <memory>

class Volume;

// What the last draw did, for the benchmarks and tests.
struct SplatStats {
    std::int64_t splats = 0; // grid points drawn
    // Time the drawing thread spent filling vertex arrays or waiting for them (0 in immediate
    // mode), and the time the filling itself took on whichever thread did it.
    double fill_seconds = 0.0;
    double fill_thread_seconds = 0.0;
};

struct SplatFrame;
struct SplatGeometry;

// Draws a volume by splatting: every visited grid point becomes a small lit, alpha-blended
// fan (the three faces of its box that face the eye) or a view-aligned quad, emitted back to
// front from the camera's eye. Runs inside a view frame, after the view controller has set the
// light and the look-at; centres the grid on the origin and leaves depth testing as it is.
//
// Two ways to issue the same primitives in the same order with the same colours and normals:
// client-side vertex arrays filled per frame from a reused scratch buffer (the default), or
// immediate mode (`immediate` = true), the reference the array path is checked against.
class SplatRenderer : public Drawable {
public:
    SplatRenderer();
    ~SplatRenderer();
    SplatRenderer(const SplatRenderer&) = delete;
    SplatRenderer& operator=(const SplatRenderer&) = delete;

    void draw() override;

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
    // eye's position in grid coordinates. (1, 1, 1) issues no scaling at all.
    Vec3 axis_scale{1.0, 1.0, 1.0};

    bool immediate = false; // issue the splats with glBegin/glEnd instead of vertex arrays
    // Array path: fill the arrays on a second thread while this one draws (the same GL calls
    // in the same order), or between draws on this thread. A second thread pays only where
    // cores are left over besides the rasteriser's (measured: on 2 cores with Mesa's llvmpipe
    // it is no faster and less steady), so it is on by default from 4 hardware threads up.
    bool parallel_fill;
    SplatStats last_stats;

private:
    template <class Reader>
    void draw_arrays(const SplatFrame& f, SplatGeometry& geometry, Reader& in);

    struct Scratch;
    std::unique_ptr<Scratch> scratch_; // vertex arrays, reused from frame to frame
};
