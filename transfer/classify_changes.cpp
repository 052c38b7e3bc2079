#include "classify_changes.h"

#include "transfer_function.h"
#include "volume.h"

#include <cstring>

namespace {

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

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

bool CurveClassifier::same_settings(const ClassifySettings& settings) const {
    return same_bits(settings.low, settings_.low) && same_bits(settings.range, settings_.range) &&
           settings.missing == settings_.missing && settings.integration == settings_.integration;
}

bool CurveClassifier::run(Volume& target, const Volume& source,
                          const TransferFunction* const (&curves)[4],
                          const ClassifySettings& settings, int threads, int channels) {
    ClassifyPlan plan;
    const bool ok = classify_channels(target, source, curves, settings, threads, channels, &plan);
    last_channels_ = channels;
    // A partial classification under another plan than the last full one could leave the
    // other channels with bits this plan would not give them: classify them too.
    if (ok && channels != 0xF && !(plan == plan_))
        return run(target, source, curves, settings, threads, 0xF);
    known_ = ok;
    if (!ok)
        return false;
    target_.take(target);
    source_.take(source);
    settings_ = settings;
    for (int c = 0; c < 4; ++c)
        revisions_[c] = curves[c]->revision();
    plan_ = plan;
    return true;
}

bool CurveClassifier::classify_all(Volume& target, const Volume& source,
                                   const TransferFunction* const (&curves)[4],
                                   const ClassifySettings& settings, int threads) {
    return run(target, source, curves, settings, threads, 0xF);
}

bool CurveClassifier::classify_changed(Volume& target, const Volume& source,
                                       const TransferFunction* const (&curves)[4],
                                       const ClassifySettings& settings, int threads) {
    const bool same_rest =
        known_ && target_.same(target) && source_.same(source) && same_settings(settings);
    if (!same_rest)
        return run(target, source, curves, settings, threads, 0xF);
    int channels = 0;
    for (int c = 0; c < 4; ++c)
        if (curves[c]->revision() != revisions_[c])
            channels |= 1 << c;
    if (channels == 0) {
        last_channels_ = 0;
        target.valid = true;
        return true;
    }
    return run(target, source, curves, settings, threads, channels);
}
