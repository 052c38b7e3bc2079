// The part of each grid point's path that classification integrates: a window of consecutive
// components, or all of them.
#include "scene.h"

#include <algorithm>

bool Scene::set_component_window(int first, int last) {
    const int n = data_volume.ncomp;
    if (n <= 0 || first < 0 || last < first || last >= n)
        return false;
    if (first == 0 && last == n - 1) {
        window_ = {};
    } else {
        window_ = {first, last};
    }
    classifier_.forget(); // the path changed under the same arrays
    window_filled_ = false;
    return true;
}

int Scene::window_first() const {
    return window_.last < 0 ? 0 : window_.first;
}

int Scene::window_last() const {
    return window_.last < 0 ? std::max(data_volume.ncomp - 1, 0) : window_.last;
}

const Volume& Scene::classified_source() {
    if (window_.last < 0 || window_.last >= data_volume.ncomp)
        return data_volume;
    const Volume& d = data_volume;
    const int width = window_.last - window_.first + 1;
    Volume& w = window_volume_;
    if (window_filled_ && w.nx == d.nx && w.ny == d.ny && w.nz == d.nz && w.ncomp == width)
        return w;
    if (w.nx != d.nx || w.ny != d.ny || w.nz != d.nz || w.ncomp != width || !w.samples) {
        if (!w.allocate(d.nx, d.ny, d.nz, width))
            return data_volume; // no memory for the window: the whole path, as before
        w.valid = true;
    }
    const std::int64_t points = static_cast<std::int64_t>(d.nx) * d.ny * d.nz;
    const float* from = d.samples + window_.first;
    float* to = w.samples;
    for (std::int64_t p = 0; p < points; ++p, from += d.ncomp, to += width)
        std::copy(from, from + width, to);
    window_filled_ = true;
    return w;
}

WindowKey Scene::window_key() const {
    WindowKey key;
    key.first = window_first();
    key.last = window_last();
    for (int i = 0; i < channel_count; ++i)
        key.revisions[i] = curves[i].revision();
    key.settings = classify_settings();
    return key;
}

bool Scene::fetch_window(const WindowKey& key) {
    if (colour_volume.nx != data_volume.nx || colour_volume.ny != data_volume.ny ||
        colour_volume.nz != data_volume.nz || !window_cache_.fetch(key, colour_volume))
        return false;
    classifier_.forget(); // the classifier did not see these samples written
    set_colours_whole();
    return true;
}

bool Scene::classify_window_with(const ClassifySettings& settings) {
    WindowKey key = window_key();
    key.settings = settings;
    if (fetch_window(key))
        return true;
    if (!classifier_.classify_all(colour_volume, classified_source(), curve_list().list, settings))
        return false;
    set_colours_whole();
    window_cache_.store(key, colour_volume);
    return true;
}

bool Scene::classify_window_cached() {
    return classify_window_with(classify_settings());
}
