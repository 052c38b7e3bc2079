#pragma once

#include "curves_file.h"

#include <span>
#include <string>
#include <string_view>

// Ready-made curves: colour presets set the red, green and blue curves, opacity presets the
// opacity curve. Each is its reference map (tests/transfer/data) fitted into control points
// over [fit_margin, 1 - fit_margin] by halvorn-fit-presets; the points are what ships.
struct CurvePreset {
    const char* name;  // as the command line names it: "viridis"
    const char* title; // as the menu shows it: "Viridis"
    bool colour;       // the red, green and blue curves; else the opacity curve
    int curve_count;   // 3 or 1
    CurvePoints curves[3];
    double fit_error; // the largest difference from the reference map over the measured span
};

// Every preset: the colour presets first, each kind in menu order.
std::span<const CurvePreset> curve_presets();
// The preset of this name, or null.
const CurvePreset* find_curve_preset(std::string_view name);

// What --preset chose: a colour preset, an opacity preset, or one of each.
struct PresetChoice {
    const CurvePreset* colour = nullptr;
    const CurvePreset* opacity = nullptr;
    // The points the choice gives curve c (0 red, 1 green, 2 blue, 3 opacity), or null.
    const CurvePoints* curve(int c) const;
};

// Reads "viridis", "ramp" or "viridis,ramp" (either order). False with the reason for an
// unknown name, two of one kind or an empty word.
bool parse_preset_choice(const std::string& words, PresetChoice& out, std::string& error);

// The names of each kind, for usage texts: "viridis, cool-warm, temperature, grey".
std::string preset_names(bool colour);
