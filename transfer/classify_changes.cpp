#include "classify_changes.h"

#include "transfer_function.h"
#include "volume.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint64_t bits_of(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

bool same_segment(const CubicSegment& a, const CubicSegment& b) {
    for (int m = 0; m < 4; ++m)
        if (bits_of(a.coefficients[m]) != bits_of(b.coefficients[m]) ||
            bits_of(a.local[m]) != bits_of(b.local[m]))
            return false;
    return bits_of(a.start) == bits_of(b.start) && a.narrow == b.narrow;
}

int used_count(const TransferFunction& curve) {
    return std::clamp(curve.count, 0, TransferFunction::capacity);
}

} // namespace

void CurveClassifier::CurveState::take(const TransferFunction& curve) {
    count = curve.count;
    const int n = used_count(curve);
    for (int k = 0; k < n; ++k) {
        x[k] = curve.x[k];
        segments[k] = curve.segments[k];
    }
}

bool CurveClassifier::CurveState::same(const TransferFunction& curve) const {
    if (curve.count != count)
        return false;
    const int n = used_count(curve);
    for (int k = 0; k < n; ++k)
        if (bits_of(curve.x[k]) != bits_of(x[k]) || !same_segment(curve.segments[k], segments[k]))
            return false;
    return true;
}

void CurveClassifier::VolumeState::take(const Volume& v) {
    volume = &v;
    samples = v.samples;
    nx = v.nx;
    ny = v.ny;
    nz = v.nz;
    ncomp = v.ncomp;
}

bool CurveClassifier::VolumeState::same(const Volume& v) const {
    return volume == &v && samples == v.samples && nx == v.nx && ny == v.ny && nz == v.nz &&
           ncomp == v.ncomp;
}

bool CurveClassifier::run(Volume& target, const Volume& source,
                          const TransferFunction* const (&curves)[4], double low, double range,
                          MissingData missing, int threads, int channels) {
    ClassifyPlan plan;
    const bool ok = classify_channels(target, source, *curves[0], *curves[1], *curves[2],
                                      *curves[3], low, range, threads, missing, channels, &plan);
    last_channels_ = channels;
    // A partial classification under another plan than the last full one could leave the
    // other channels with bits this plan would not give them: classify them too.
    if (ok && channels != 0xF && !(plan == plan_))
        return run(target, source, curves, low, range, missing, threads, 0xF);
    known_ = ok;
    if (!ok)
        return false;
    target_.take(target);
    source_.take(source);
    low_bits_ = bits_of(low);
    range_bits_ = bits_of(range);
    missing_ = missing;
    for (int c = 0; c < 4; ++c)
        curves_[c].take(*curves[c]);
    plan_ = plan;
    return true;
}

bool CurveClassifier::classify_all(Volume& target, const Volume& source,
                                   const TransferFunction* const (&curves)[4], double low,
                                   double range, MissingData missing, int threads) {
    return run(target, source, curves, low, range, missing, threads, 0xF);
}

bool CurveClassifier::classify_changed(Volume& target, const Volume& source,
                                       const TransferFunction* const (&curves)[4], double low,
                                       double range, MissingData missing, int threads) {
    const bool same_rest = known_ && target_.same(target) && source_.same(source) &&
                           bits_of(low) == low_bits_ && bits_of(range) == range_bits_ &&
                           missing == missing_;
    if (!same_rest)
        return run(target, source, curves, low, range, missing, threads, 0xF);
    int channels = 0;
    for (int c = 0; c < 4; ++c)
        if (!curves_[c].same(*curves[c]))
            channels |= 1 << c;
    if (channels == 0) {
        last_channels_ = 0;
        target.valid = true;
        return true;
    }
    return run(target, source, curves, low, range, missing, threads, channels);
}
