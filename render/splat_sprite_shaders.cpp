#include "splat_sprite_shaders.h"

// One point sprite per grid point. The vertex shader places the fan's (or the quad's)
// vertices in window coordinates and describes the outline by up to six edges, each an affine
// function of the pixel position relative to the centre vertex: a fan's rim edges are scaled
// to 1 at the centre, so inside the fan the least of them is the centre's weight of the
// triangle the pixel lies in; a fold's outline edges through the centre only bound it (scaled
// far above 1). Unused edges are constant and large.
const char* const splat_sprite_vertex_shader = R"(#version 330 compatibility
layout(location = 0) in vec4 colour;     // red, green, blue, opacity
layout(location = 1) in vec4 normal_rim; // the unit normal against the gradient, rim opacity

uniform ivec3 extent;
uniform vec2 inverse_extent; // 1 / nx, 1 / ny
uniform vec4 corner[7];  // clip-space offsets: fan centre then rim 0..5, or quad vertices 0..3
uniform int quads;
uniform ivec3 lower;     // per axis: the octant walks the lower part (its centre at +half step)
uniform vec3 half_step;
uniform vec3 eye;        // grid coordinates
uniform vec4 viewport;   // x, y, width, height
uniform float layers;    // opacity correction of coarse frames; 1: none
uniform int lit;
uniform int normalize_normal;
uniform vec3 light_direction;
uniform vec3 half_vector;
uniform float max_point_size;

flat out vec4 edge_a;    // edges 0..3: a * x + b * y + d at window position (x, y)
flat out vec4 edge_b;
flat out vec4 edge_d;
flat out vec4 edge_45;   // edges 4 and 5: a4, b4, a5, b5
flat out vec4 edge_d45;  // d4, d5, and the rim's opacity
flat out vec4 shade;     // lit colour, the centre's opacity

const vec3 unused_edge = vec3(0.0, 0.0, 1.0e9);
const float bound_scale = 1.0e4;

// The line through p and q as (a, b, d) with a * x + b * y + d = 0, scaled to `at` at r (off
// the line); unused when r is (nearly) on it.
vec3 line_through(vec2 p, vec2 q, vec2 r, float at) {
    float a = p.y - q.y;
    float b = q.x - p.x;
    float d = -(a * p.x + b * p.y);
    float e = a * r.x + b * r.y + d;
    return abs(e) > 1.0e-12 * (abs(a) + abs(b)) ? vec3(a, b, d) * (at / e) : unused_edge;
}

void main() {
    // The grid point of this index (x fastest). Integer division is slow on a software
    // rasteriser's vertex stage; in floats (exact below 2^24 points) with one correction.
    int id = gl_VertexID;
    int row = int(floor((float(id) + 0.5) * inverse_extent.x));
    int x = id - row * extent.x;
    row += x >= extent.x ? 1 : x < 0 ? -1 : 0;
    x = id - row * extent.x;
    int z = int(floor((float(row) + 0.5) * inverse_extent.y));
    int y = row - z * extent.y;
    z += y >= extent.y ? 1 : y < 0 ? -1 : 0;
    y = row - z * extent.y;
    ivec3 g = ivec3(x, y, z);
    vec4 centre = gl_ModelViewProjectionMatrix * vec4(vec3(g), 1.0);

    int count = quads != 0 ? 4 : 7;
    vec2 w[7];
    float zmax = -1.0e30;
    vec2 lo = vec2(1.0e30);
    vec2 hi = vec2(-1.0e30);
    for (int k = 0; k < 7; ++k) {
        if (k >= count)
            break;
        vec4 c = centre + corner[k];
        vec3 ndc = c.xyz / c.w;
        w[k] = viewport.xy + (ndc.xy * 0.5 + 0.5) * viewport.zw;
        zmax = max(zmax, ndc.z);
        lo = min(lo, w[k]);
        hi = max(hi, w[k]);
    }

    // Six edge slots, relative to a reference point inside the outline.
    vec3 slot[6];
    vec2 reference;
    bool nothing = false;
    if (quads != 0) {
        reference = viewport.xy + (centre.xy / centre.w * 0.5 + 0.5) * viewport.zw;
        for (int k = 0; k < 4; ++k)
            slot[k] = line_through(w[k] - reference, w[(k + 1) % 4] - reference, vec2(0.0), 1.0);
        slot[4] = unused_edge;
        slot[5] = unused_edge;
    } else {
        // Relative to the fan's centre. Faces in fan order: 0 the z face (rim 0..2), 1 the y
        // face (rim 2..4), 2 the x face (rim 4..6 = 0). A face shows when the eye is beyond its
        // plane, outside the box's slab; a hidden face's two slots take the edges from the
        // centre that bound the showing neighbours.
        reference = w[0];
        vec2 r[8];
        for (int j = 0; j < 6; ++j)
            r[j] = w[j + 1] - reference;
        r[6] = r[0];
        r[7] = r[1];
        vec3 face_plane = vec3(g) + vec3(lower * 2 - 1) * half_step;
        bool shows[3] = bool[3](lower.z != 0 ? eye.z > face_plane.z : eye.z < face_plane.z,
                                lower.y != 0 ? eye.y > face_plane.y : eye.y < face_plane.y,
                                lower.x != 0 ? eye.x > face_plane.x : eye.x < face_plane.x);
        for (int f = 0; f < 3; ++f) {
            bool previous = shows[(f + 2) % 3];
            bool next = shows[(f + 1) % 3];
            vec3 rim_first = line_through(r[2 * f], r[2 * f + 1], vec2(0.0), 1.0);
            vec3 rim_second = line_through(r[2 * f + 1], r[2 * f + 2], vec2(0.0), 1.0);
            vec3 bound_first = line_through(vec2(0.0), r[2 * f], r[(2 * f + 5) % 6], bound_scale);
            vec3 bound_second = line_through(vec2(0.0), r[2 * f + 2], r[2 * f + 3], bound_scale);
            slot[2 * f] = shows[f] ? rim_first : previous ? bound_first : unused_edge;
            slot[2 * f + 1] = shows[f] ? rim_second : next ? bound_second : unused_edge;
        }
        nothing = !(shows[0] || shows[1] || shows[2]);
    }
    // Relative to the window origin from here on: d -= a * ref.x + b * ref.y.
    for (int k = 0; k < 6; ++k)
        slot[k].z -= slot[k].x * reference.x + slot[k].y * reference.y;
    edge_a = vec4(slot[0].x, slot[1].x, slot[2].x, slot[3].x);
    edge_b = vec4(slot[0].y, slot[1].y, slot[2].y, slot[3].y);
    edge_d = vec4(slot[0].z, slot[1].z, slot[2].z, slot[3].z);
    edge_45 = vec4(slot[4].x, slot[4].y, slot[5].x, slot[5].y);

    // The sprite: a square over the outline's pixels at the splat's farthest depth. One that
    // fits a 4 x 4 block of pixels is that block (the rasteriser shades such blocks whole);
    // otherwise a square around the outline with its centre kept inside the viewport (points
    // are dropped when their centre is outside).
    vec2 vmin = viewport.xy;
    vec2 vmax = viewport.xy + viewport.zw;
    bool off = nothing || any(lessThan(hi, vmin)) || any(greaterThan(lo, vmax));
    vec2 first_pixel = ceil(lo - 0.5);
    vec2 last_pixel = floor(hi - 0.5);
    vec2 block = floor(first_pixel * 0.25);
    vec2 middle;
    float size;
    if (all(equal(block, floor(last_pixel * 0.25)))) {
        middle = block * 4.0 + 2.0;
        size = 4.0;
    } else {
        middle = clamp(0.5 * (lo + hi), vmin, vmax);
        vec2 half_size = max(middle - lo, hi - middle);
        size = ceil(2.0 * max(half_size.x, half_size.y)) + 1.0;
    }
    gl_PointSize = min(size, max_point_size);
    gl_Position = off ? vec4(2.0, 2.0, 2.0, 1.0)
                      : vec4((middle - vmin) / viewport.zw * 2.0 - 1.0, clamp(zmax, -1.0, 1.0),
                             1.0);

    // Fixed-function lighting of one directional light with a viewer at infinity, the
    // colour driving the ambient and diffuse material.
    vec3 c = colour.rgb;
    vec3 lit_colour = c;
    if (lit != 0) {
        vec3 n = gl_NormalMatrix * normal_rim.xyz;
        if (normalize_normal != 0 && dot(n, n) > 0.0)
            n = normalize(n);
        lit_colour = gl_FrontMaterial.emission.rgb + gl_LightModel.ambient.rgb * c +
                     gl_LightSource[0].ambient.rgb * c;
        float diffuse = dot(n, light_direction);
        if (diffuse > 0.0) {
            lit_colour += diffuse * gl_LightSource[0].diffuse.rgb * c;
            float h = dot(n, half_vector);
            if (h > 0.0)
                lit_colour += pow(h, gl_FrontMaterial.shininess) *
                              gl_LightSource[0].specular.rgb * gl_FrontMaterial.specular.rgb;
        }
    }
    float a = colour.a;
    float rim_a = normal_rim.w;
    if (layers != 1.0) {
        if (a > 0.0 && a < 1.0)
            a = 1.0 - pow(1.0 - a, layers);
        rim_a = 0.1 * a;
    }
    if (quads != 0)
        rim_a = a;
    shade = vec4(clamp(lit_colour, 0.0, 1.0), clamp(a, 0.0, 1.0));
    edge_d45 = vec4(slot[4].z, slot[5].z, clamp(rim_a, 0.0, 1.0), 0.0);
}
)";

const char* const splat_sprite_fragment_shader = R"(#version 330 compatibility
flat in vec4 edge_a;
flat in vec4 edge_b;
flat in vec4 edge_d;
flat in vec4 edge_45;
flat in vec4 edge_d45;
flat in vec4 shade;

void main() {
    vec2 p = gl_FragCoord.xy;
    vec4 e = edge_a * p.x + edge_b * p.y + edge_d;
    vec2 f = edge_45.xz * p.x + edge_45.yw * p.y + edge_d45.xy;
    float centre_weight = min(min(min(e.x, e.y), min(e.z, e.w)), min(f.x, f.y));
    if (centre_weight < 0.0)
        discard;
    gl_FragColor = vec4(shade.rgb, mix(edge_d45.z, shade.a, min(centre_weight, 1.0)));
}
)";
