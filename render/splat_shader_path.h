#pragma once

#include "splat_emitters.h"
#include "splat_frame.h"

#include <cstdint>

// The splat renderer's drawing on the graphics side. The colour volume's splats (colour, the
// normal against the opacity gradient, the rim's opacity) stay in a GL buffer of the view's
// context between frames, rebuilt only when the volume's samples change; each frame sends
// only the order, one index per visible grid point, and draws each octant with one call.
//
// Each grid point is one point sprite. Its vertex shader computes the corners of the fan (or
// the quad) in window coordinates, the lighting of fixed-function GL_LIGHT0 with the
// renderer's material and colour material, and the edges of the fan's outline; the fragment
// shader covers the pixels inside the outline and interpolates the opacity from the centre
// to the rim as the fan's triangles would. A fan seen with the eye inside one of its box's
// slabs folds; its sprite covers only the faces that face the eye, the ones the fan shows
// (a face turned away is drawn later than the faces in front of it, or is hidden by them).
// On a software rasteriser one sprite costs far less than the fan's six tiny triangles.
//
// The pictures differ from the triangles' in a few pixels: outline pixels whose centres lie
// on an edge, opacities interpolated without perspective correction, depth written as the
// splat's farthest corner for all its pixels, and a turned-away face drawn before a face in
// front of it blended only once.
struct SplatShaderStats {
    std::int64_t skipped = 0; // grid points left out as fully transparent
    bool rebuilt = false;     // the splat buffer was (re)built for this frame
};

// Draws the frame with the shaders in the context of the view being drawn (ViewFrame::current)
// and returns true; returns false having drawn nothing when the context lacks what it needs,
// the volume is not a plain four-component colour volume, the GL state is one the shaders do
// not reproduce (another light, two-sided lighting, feedback mode, ...), or the frame's
// geometry does not suit sprites (the grid reaching the near or far plane, splats too large
// for a point), or the splat buffer would have to be rebuilt and `may_rebuild` is false while
// the volume's samples differ from those of the frame before (colours that change from frame
// to frame, as in a realtime edit, would be built for one frame only). `owner` keys the view's resource; `last` gets the shade of the last splat visited (for the
// current colour and normal immediate mode would leave).
bool draw_splats_with_shaders(const void* owner, const SplatFrame& f, const SplatGeometry& g,
                              bool may_rebuild, SplatShaderStats& stats, std::int64_t& drawn,
                              SplatShade& last);
