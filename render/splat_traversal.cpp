#include "splat_traversal.h"

#include <algorithm>
#include <cmath>

int splat_view_bits(const Vec3& eye_axis) {
    return (eye_axis.x > 0.0 ? 1 : 0) | (eye_axis.y > 0.0 ? 2 : 0) | (eye_axis.z > 0.0 ? 4 : 0);
}

std::int64_t splat_eye_coordinate(double e) {
    const double limit = 1099511627776.0; // 2^40
    if (std::isnan(e))
        return 0;
    if (e > limit)
        return static_cast<std::int64_t>(limit);
    if (e < -limit)
        return -static_cast<std::int64_t>(limit);
    return static_cast<std::int64_t>(e); // truncates toward zero
}

AxisWalk splat_axis_walk(bool upper, int n, std::int64_t k, int s) {
    AxisWalk w;
    if (s < 1)
        return w;
    if (upper) {
        w.start = n - 1;
        w.stride = -s;
        w.end = k - s + 1;
        if (w.end < 0)
            w.end = -1;
        w.empty = w.end >= n - 1;
    } else {
        w.start = 0;
        w.stride = s;
        w.end = k + s;
        if (w.end >= n)
            w.end = n;
        w.empty = w.end <= 0;
    }
    return w;
}

Vec3 splat_corner(int code, int sx, int sy, int sz) {
    return {(code & 1 ? 0.5 : -0.5) * sx, (code & 2 ? 0.5 : -0.5) * sy,
            (code & 4 ? 0.5 : -0.5) * sz};
}

std::vector<int> splat_axis_indices(int n, std::int64_t k, int s) {
    std::vector<int> indices;
    const AxisWalk lower = splat_axis_walk(false, n, k, s);
    const AxisWalk upper = splat_axis_walk(true, n, k, s);
    if (!lower.empty)
        for (std::int64_t i = lower.start; lower.visits(i); i += lower.stride)
            indices.push_back(static_cast<int>(i));
    if (!upper.empty)
        for (std::int64_t i = upper.start; upper.visits(i); i += upper.stride)
            indices.push_back(static_cast<int>(i));
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}
