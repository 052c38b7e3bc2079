#pragma once

#include "classify.h"

#include <cstdint>

class TransferFunction;
class Volume;

// Keeps a colour volume equal, bit for bit, to a full classification while curves are edited
// one at a time: after a classification of everything it remembers what it was computed from,
// and the next call computes only the channels whose curve has another revision (see
// TransferFunction: the revision changes with everything a classification reads of a curve).
// Anything else that differs (the volumes, their extents or arrays, the settings, how the
// channels would be computed) classifies everything again. A change the classifier cannot see
// (new values in the same data array) must be announced with forget().
class CurveClassifier {
public:
    // Classifies every channel, as classify does, and remembers the inputs when it succeeds.
    bool classify_all(Volume& target, const Volume& source,
                      const TransferFunction* const (&curves)[4], const ClassifySettings& settings,
                      int threads = 0);
    // Classifies the channels whose curves changed since the last classification, or all of
    // them when more than the curves changed. Same result and return as classify_all.
    bool classify_changed(Volume& target, const Volume& source,
                          const TransferFunction* const (&curves)[4],
                          const ClassifySettings& settings, int threads = 0);
    // The next classification computes everything.
    void forget() { known_ = false; }

    // The channels the last call computed (bit 0 red ... bit 3 opacity); 0 when none changed.
    int last_channels() const { return last_channels_; }

private:
    struct VolumeState {
        const Volume* volume = nullptr;
        const float* samples = nullptr;
        int nx = 0, ny = 0, nz = 0, ncomp = 0;
        void take(const Volume& v);
        bool same(const Volume& v) const;
    };

    bool run(Volume& target, const Volume& source, const TransferFunction* const (&curves)[4],
             const ClassifySettings& settings, int threads, int channels);
    bool same_settings(const ClassifySettings& settings) const;

    bool known_ = false;
    VolumeState target_, source_;
    ClassifySettings settings_;
    std::uint64_t revisions_[4] = {};
    ClassifyPlan plan_;
    int last_channels_ = 0;
};
