#include "transfer_function.h"

#include <atomic>
#include <cstring>

namespace {

// Revisions for every curve of the program: each change takes the next one.
std::atomic<std::uint64_t> last_revision{0};

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool same_segment(const CubicSegment& a, const CubicSegment& b) {
    for (int m = 0; m < 4; ++m)
        if (!same_bits(a.coefficients[m], b.coefficients[m]) || !same_bits(a.local[m], b.local[m]))
            return false;
    return same_bits(a.start, b.start) && a.narrow == b.narrow;
}

} // namespace

TransferFunction::TransferFunction() : built_count_(count) {
    camera.set_distance(150.0);
}

// Releases nothing: the builder is shared and the projection and listener belong to others.
TransferFunction::~TransferFunction() = default;

Camera* TransferFunction::pick_snapshot() {
    pick_camera = camera;
    return &pick_camera;
}

int TransferFunction::find(double key) const {
    for (int i = 0; i < count; ++i)
        if (!(key > x[i])) // key <= x[i], or a NaN on either side
            return i;
    return count;
}

int TransferFunction::insert(double px, double py) {
    if (count >= capacity)
        return -1;
    const int i = find(px);
    for (int k = count; k > i; --k) {
        x[k] = x[k - 1];
        y[k] = y[k - 1];
    }
    x[i] = px;
    y[i] = py;
    ++count;
    mark_changed();
    return i;
}

int TransferFunction::remove(int i) {
    if (i < 0 || i >= count - 1)
        return -1;
    for (int k = i; k < count - 1; ++k) {
        x[k] = x[k + 1];
        y[k] = y[k + 1];
    }
    --count;
    mark_changed();
    return i;
}

bool TransferFunction::set_point(int i, double px, double py) {
    if (i < 0 || i >= count - 1)
        return false;
    segments_built = false;
    if (same_bits(x[i], px) && same_bits(y[i], py))
        return true;
    x[i] = px;
    y[i] = py;
    mark_changed();
    return true;
}

bool TransferFunction::assign_points(int n, const double* px, const double* py) {
    if (n < 1 || n > capacity)
        return false;
    segments_built = false;
    bool same = n == count;
    for (int i = 0; i < n && same; ++i)
        same = same_bits(x[i], px[i]) && same_bits(y[i], py[i]);
    if (same)
        return true;
    count = n;
    for (int i = 0; i < n; ++i) {
        x[i] = px[i];
        y[i] = py[i];
    }
    mark_changed();
    return true;
}

void TransferFunction::mark_changed() {
    revision_ = last_revision.fetch_add(1, std::memory_order_relaxed) + 1;
}

void TransferFunction::update_segments() {
    if (segments_built)
        return;
    if (!builder)
        builder = &SegmentBuilder::instance();
    // Rebuilding from unchanged points gives the same segments and keeps the revision.
    bool changed = count != built_count_;
    for (int i = 0; i < count; ++i) {
        CubicSegment built;
        builder->build(i, count, x, y, built);
        changed = changed || !same_segment(built, segments[i]);
        segments[i] = built;
    }
    built_count_ = count;
    segments_built = true;
    if (changed)
        mark_changed();
}
