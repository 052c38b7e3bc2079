#pragma once

#include "headless_view.h"
#include "volume.h"

#include <functional>
#include <string>
#include <vector>

// A drawable that runs a function: lets a test put arbitrary GL into a frame.
class Probe : public Drawable {
public:
    explicit Probe(std::function<void()> f) : f_(std::move(f)) {}
    void draw() override { f_(); }

private:
    std::function<void()> f_;
};

// Fills every sample of `v` (already allocated) from f(x, y, z, c) and marks it valid.
void fill_volume(Volume& v, const std::function<float(int, int, int, int)>& f);

// A small four-component colour volume with distinct, opaque-ish colours per point.
void make_colour_volume(Volume& v, int nx, int ny, int nz);

// Imports the bundled sample grid into `data` (its colour volume sized alongside). The
// intermediate file goes to a fresh temporary folder. False with a reason in `error`.
bool load_sample(Volume& data, Volume& colour, std::string& error);

// A colour volume derived from the sample's temperatures (not a classification): a warm-to-
// cool ramp with opacity rising with temperature, missing points grey.
void colour_from_temperature(const Volume& data, Volume& colour);

// Draws `list` in `view` and returns its pixels (RGBA, top row first).
std::vector<unsigned char> render_pixels(HeadlessView& view, const std::vector<Drawable*>& list);

// Grid points in the order a volume's sample() saw them for component `c`.
struct Visit {
    int x, y, z;
    bool operator==(const Visit&) const = default;
};

class RecordingVolume : public Volume {
public:
    float sample(int x, int y, int z) const override {
        if (component == recorded_component)
            visits.push_back({x, y, z});
        return Volume::sample(x, y, z);
    }
    int recorded_component = 0;
    mutable std::vector<Visit> visits;
};
