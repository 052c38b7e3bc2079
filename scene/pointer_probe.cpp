#include "pointer_probe.h"

#include "c_locale.h"
#include "shared_constants.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Components listed one by one; a longer path ends in its count.
constexpr int listed_values = 16;

double component(const Vec3& v, int i) {
    return i == 0 ? v.x : (i == 1 ? v.y : v.z);
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

std::string number(double v) {
    return format_c("%.4g", v);
}

} // namespace

bool pointer_ray(const Camera& camera, double aspect, double fov, double fx, double fy,
                 ProbeRay& ray) {
    // The view is set up by gluLookAt(eye, target, axis 2) under a perspective of `fov`: its
    // forward direction runs from the eye to the target, its right is forward x up.
    const Vec3 eye = camera.eye();
    Vec3 forward = camera.target.sub(eye);
    const double d = length(forward);
    if (!(d > 0.0) || !std::isfinite(d) || !(aspect > 0.0))
        return false;
    forward = forward.scaled(1.0 / d);
    Vec3 right = cross(forward, camera.axis(2));
    const double r = length(right);
    if (!(r > 0.0))
        return false;
    right = right.scaled(1.0 / r);
    const Vec3 up = cross(right, forward);
    const double t = std::tan(0.5 * fov);
    const double sx = (2.0 * fx - 1.0) * t * aspect;
    const double sy = (1.0 - 2.0 * fy) * t;
    ray.origin = eye;
    ray.direction = forward.add(right.scaled(sx)).add(up.scaled(sy));
    return true;
}

ProbeHit probe_grid(const Volume& colour, const Vec3& axis_scale, const ProbeRay& ray,
                    float threshold) {
    ProbeHit none;
    if (!colour.valid || !colour.samples || colour.ncomp < 4)
        return none;
    const int n[3] = {colour.nx, colour.ny, colour.nz};
    // Into box coordinates: grid point i fills [i, i + 1) along each axis.
    double o[3], dir[3];
    for (int i = 0; i < 3; ++i) {
        const double s = component(axis_scale, i);
        if (s == 0.0 || !std::isfinite(s))
            return none;
        o[i] = component(ray.origin, i) / s + n[i] / 2.0 + 0.5;
        dir[i] = component(ray.direction, i) / s;
    }
    // Where the ray enters and leaves the grid's box (from the eye on).
    double t_enter = 0.0, t_leave = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 3; ++i) {
        if (dir[i] == 0.0) {
            if (o[i] < 0.0 || o[i] >= n[i])
                return none;
            continue;
        }
        double a = (0.0 - o[i]) / dir[i], b = (n[i] - o[i]) / dir[i];
        if (a > b)
            std::swap(a, b);
        t_enter = std::max(t_enter, a);
        t_leave = std::min(t_leave, b);
    }
    if (!(t_enter < t_leave))
        return none;
    // Box by box along the ray: the next box is the one whose wall the ray reaches first.
    int cell[3], stride[3];
    double t_next[3], t_delta[3];
    for (int i = 0; i < 3; ++i) {
        const double p = o[i] + dir[i] * t_enter;
        cell[i] = std::clamp(static_cast<int>(std::floor(p)), 0, n[i] - 1);
        if (dir[i] > 0.0) {
            stride[i] = 1;
            t_next[i] = (cell[i] + 1 - o[i]) / dir[i];
            t_delta[i] = 1.0 / dir[i];
        } else if (dir[i] < 0.0) {
            stride[i] = -1;
            t_next[i] = (cell[i] - o[i]) / dir[i];
            t_delta[i] = -1.0 / dir[i];
        } else {
            stride[i] = 0;
            t_next[i] = t_delta[i] = std::numeric_limits<double>::infinity();
        }
    }
    double t = t_enter;
    for (;;) {
        const float a = colour.samples[colour.flat_index(cell[0], cell[1], cell[2], 3)];
        if (a > threshold) {
            ProbeHit hit;
            hit.hit = true;
            hit.x = cell[0];
            hit.y = cell[1];
            hit.z = cell[2];
            hit.t = t;
            return hit;
        }
        const int i = t_next[0] < t_next[1] ? (t_next[0] < t_next[2] ? 0 : 2)
                                            : (t_next[1] < t_next[2] ? 1 : 2);
        if (t_next[i] >= t_leave)
            return none;
        t = t_next[i];
        cell[i] += stride[i];
        if (cell[i] < 0 || cell[i] >= n[i])
            return none;
        t_next[i] += t_delta[i];
    }
}

std::string probe_words(const ProbeHit& hit, const Volume& data, const Volume& colour,
                        const GridDescription& description) {
    if (!hit.hit)
        return {};
    // The volumes hold the file's grid mirrored along x.
    const std::int64_t file_index[3] = {static_cast<std::int64_t>(colour.nx) - 1 - hit.x, hit.y,
                                        hit.z};
    const int extent[3] = {colour.nx, colour.ny, colour.nz};
    static const char* const axis_names[3] = {"x", "y", "z"};
    std::string text;
    std::string where;
    for (int i = 0; i < 3; ++i) {
        text += (i ? " " : "") + std::string(axis_names[i]) + " " + std::to_string(file_index[i]);
        const GridAxis& a = description.axes[i];
        if (a.values.size() == static_cast<std::size_t>(extent[i]) && extent[i] > 0) {
            where += (where.empty() ? "" : ", ") + (a.name.empty() ? axis_names[i] : a.name) + " " +
                     number(a.values[static_cast<std::size_t>(file_index[i])]);
            if (!a.units.empty())
                where += " " + a.units;
        }
    }
    if (!where.empty())
        text += " (" + where + ")";
    text += ":";
    const bool same_grid = data.valid && data.samples && data.nx == colour.nx &&
                           data.ny == colour.ny && data.nz == colour.nz && data.ncomp > 0;
    if (same_grid) {
        const float* v = data.samples + data.flat_index(hit.x, hit.y, hit.z, 0);
        if (is_missing_point(v[0])) {
            text += " missing";
        } else {
            const int shown = std::min(data.ncomp, listed_values);
            for (int c = 0; c < shown; ++c)
                text += " " + (is_valid_sample(v[c]) ? number(v[c]) : std::string("missing"));
            if (shown < data.ncomp)
                text += " ... (" + std::to_string(data.ncomp) + " components)";
        }
    }
    const float* rgba = colour.samples + colour.flat_index(hit.x, hit.y, hit.z, 0);
    text +=
        "; colour " + format_c("%.2f %.2f %.2f, opacity %.2f", rgba[0], rgba[1], rgba[2], rgba[3]);
    return text;
}
