#include "window_cache.h"

#include <algorithm>
#include <new>

bool WindowKey::same_colouring(const WindowKey& o) const {
    return std::equal(revisions, revisions + 4, o.revisions) && settings.low == o.settings.low &&
           settings.range == o.settings.range && settings.missing == o.settings.missing &&
           settings.integration == o.settings.integration;
}

bool WindowKey::operator==(const WindowKey& o) const {
    return first == o.first && last == o.last && same_colouring(o);
}

bool WindowCache::fetch(const WindowKey& key, Volume& colour) const {
    for (const Entry& e : entries_)
        if (e.key == key && e.count == colour.sample_count() && colour.samples) {
            std::copy(e.samples.get(), e.samples.get() + e.count, colour.samples);
            colour.valid = true;
            return true;
        }
    return false;
}

void WindowCache::store(const WindowKey& key, const Volume& colour) {
    const auto stale = [&](const Entry& e) { return !e.key.same_colouring(key) || e.key == key; };
    for (const Entry& e : entries_)
        if (stale(e))
            used_ -= e.count * static_cast<std::int64_t>(sizeof(float));
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), stale), entries_.end());
    const std::int64_t count = colour.sample_count();
    const std::int64_t bytes = count * static_cast<std::int64_t>(sizeof(float));
    if (count <= 0 || !colour.samples || used_ + bytes > limit_)
        return;
    Entry e;
    e.key = key;
    e.count = count;
    e.samples.reset(new (std::nothrow) float[static_cast<std::size_t>(count)]);
    if (!e.samples)
        return; // no memory: the window is classified again next time
    std::copy(colour.samples, colour.samples + count, e.samples.get());
    used_ += bytes;
    entries_.push_back(std::move(e));
}

void WindowCache::clear() {
    entries_.clear();
    used_ = 0;
}
