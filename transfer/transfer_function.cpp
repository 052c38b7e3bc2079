#include "transfer_function.h"

TransferFunction::TransferFunction() {
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
    return i;
}

void TransferFunction::update_segments() {
    if (segments_built)
        return;
    if (!builder)
        builder = &SegmentBuilder::instance();
    for (int i = 0; i < count; ++i)
        builder->build(i, count, x, y, segments[i]);
    segments_built = true;
}
