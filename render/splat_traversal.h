#pragma once

#include "vec3.h"

#include <cstdint>
#include <vector>

// The back-to-front order in which the splat renderer visits grid points, as pure functions.
//
// The grid is cut at the eye cell K (the eye in grid coordinates, truncated) into up to eight
// octants. Octant code bit i (0 x, 1 y, 2 z) set: that axis's part above K, walked down from
// the last index; clear: the part from 0 up to K, walked up. Within an octant z is the
// outermost loop and x the innermost, and each axis runs from its far end toward the eye.

// Octants are taken in this order, each code XOR the view bits.
inline constexpr int splat_octant_order[8] = {0, 1, 2, 4, 3, 5, 6, 7};
// Box corners k = 0..6 of a splat (XOR the octant code), the offsets a fan is made of
// (SplatFan says in which order).
inline constexpr int splat_corner_codes[7] = {1, 3, 2, 6, 4, 5, 7};

// Bit i set when component i of the eye axis is strictly positive (0 and NaN give 0).
int splat_view_bits(const Vec3& eye_axis);

// The octant code visited at position p (0..7).
inline int splat_octant(int p, int view_bits) {
    return splat_octant_order[p] ^ view_bits;
}

// One grid coordinate truncated toward zero. Far-away or non-finite eyes are held to
// +-2^40 (NaN to 0) so the conversion is defined; at that distance every bound is the same as
// for the exact value.
std::int64_t splat_eye_coordinate(double e);

// The walk along one axis of one octant: indices start, start + stride, ... while they are on
// the near side of `end` (greater than it when stride < 0, less when stride > 0).
struct AxisWalk {
    int start = 0;
    int stride = 1;
    std::int64_t end = 0;
    bool empty = true;

    bool visits(std::int64_t i) const { return stride > 0 ? i < end : i > end; }
};

// The walk for the upper part (bit set) or the lower part of an axis of extent n with eye cell
// k and step s. A step below 1 gives an empty walk: there is no lattice to visit.
AxisWalk splat_axis_walk(bool upper, int n, std::int64_t k, int s);

// The indices visited along one axis (extent n, eye cell k, step s), ascending: those of its
// lower part's walk and of its upper part's. Each octant combines one part of each axis and
// walk_splats takes all eight, so the grid points of a frame are exactly the combinations of
// one index from each axis's list.
std::vector<int> splat_axis_indices(int n, std::int64_t k, int s);

// The box corner named by a 3-bit code, for a box of steps (sx, sy, sz) centred on the point.
Vec3 splat_corner(int code, int sx, int sy, int sz);

// The whole back-to-front order of one frame: for each octant that is not empty, in turn,
// octant(t, walks) with its code and its three axis walks, then point(x, y, z) for each of its
// grid points in order (z outermost, x innermost).
template <class Octant, class Point>
void walk_splats(const int n[3], const int step[3], const std::int64_t eye_cell[3], int view_bits,
                 Octant&& octant, Point&& point) {
    for (int p = 0; p < 8; ++p) {
        const int t = splat_octant(p, view_bits);
        AxisWalk w[3];
        bool empty = false;
        for (int i = 0; i < 3; ++i) {
            w[i] = splat_axis_walk((t >> i) & 1, n[i], eye_cell[i], step[i]);
            empty = empty || w[i].empty;
        }
        if (empty)
            continue;
        octant(t, static_cast<const AxisWalk*>(w));
        for (std::int64_t z = w[2].start; w[2].visits(z); z += w[2].stride)
            for (std::int64_t y = w[1].start; w[1].visits(y); y += w[1].stride)
                for (std::int64_t x = w[0].start; w[0].visits(x); x += w[0].stride)
                    point(static_cast<int>(x), static_cast<int>(y), static_cast<int>(z));
    }
}
