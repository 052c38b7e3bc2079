#pragma once

#include "classify.h"
#include "volume.h"

#include <cstdint>
#include <memory>
#include <vector>

// Colour volumes of windows of components already classified, so that playback, which comes
// round to the same windows again and again, classifies each window once for the same curves,
// settings and data. An entry holds the colour volume's samples as the classification wrote
// them: fetching it gives the same bits as classifying again.
struct WindowKey {
    int first = 0;
    int last = -1;
    std::uint64_t revisions[4] = {}; // the four curves' revisions
    ClassifySettings settings;
    // Same curves and settings, whatever the window.
    bool same_colouring(const WindowKey& other) const;
    bool operator==(const WindowKey& other) const;
};

class WindowCache {
public:
    // At most `limit_bytes` of samples are kept; a window that does not fit is not kept.
    explicit WindowCache(std::int64_t limit_bytes = std::int64_t(512) << 20)
        : limit_(limit_bytes) {}

    // Copies the samples kept for `key` into `colour`, whose sample count must be theirs:
    // false (colour unchanged) when there are none.
    bool fetch(const WindowKey& key, Volume& colour) const;
    // Keeps a copy of `colour`'s samples for `key`, when there is room and memory; windows of
    // other curves or settings are dropped first, as they will not be asked for again.
    void store(const WindowKey& key, const Volume& colour);
    // The data changed: nothing kept is right any more.
    void clear();
    int size() const { return static_cast<int>(entries_.size()); }

private:
    struct Entry {
        WindowKey key;
        std::int64_t count = 0;
        std::unique_ptr<float[]> samples;
    };
    std::vector<Entry> entries_;
    std::int64_t limit_;
    std::int64_t used_ = 0;
};
