#pragma once

#include "classify.h"
#include "curve_presets.h"
#include "splat_renderer.h"
#include "vec3.h"
#include "volume.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The options both command lines take for the scene, read from the parsed words. Each program
// reads its own options besides (the batch tool's output and picture size, the dialog's
// --apply).
struct SceneOptions {
    std::string curves_path;       // --curves
    std::string intermediate_path; // --intermediate (the batch tool only)
    std::optional<double> low;     // --low
    std::optional<double> range;   // --range
    std::optional<double> distance;
    double tilt = 0.0; // --tilt and --turn, radians, as a left drag turns the camera
    double turn = 0.0;
    double spin = 0.0;              // --spin, radians about the grid's up axis, after tilt and turn
    std::optional<Vec3> axis_scale; // --axis-scale SX,SY,SZ
    std::optional<MissingData> missing;         // --missing grey|faint|hidden
    std::optional<PathIntegration> integration; // --integration exact|forward
    // --window FIRST:LAST, components counted from 1 (checked against the grid once loaded).
    struct ComponentWindow {
        int first = 1;
        int last = 1;
    };
    std::optional<ComponentWindow> window;
    std::optional<SplatDrawing> drawing; // --draw immediate|arrays|shaders
    // NetCDF grids: the variables whose values become the components (--var SST,AIRT), or one
    // variable and the dimension that gives them (--components TIME). Empty: from the file.
    std::vector<std::string> variables;
    std::string components;
    // --preset COLOUR, OPACITY or COLOUR,OPACITY: applied after the curves file. Without a
    // curves file a colour preset alone comes with the "ramp" opacity, as the default opacity
    // curve (0 everywhere) would leave nothing to see.
    std::optional<PresetChoice> preset;
};

// Option name ("--low") to value ("" for a flag), as the parser found them.
using OptionWords = std::map<std::string, std::string>;

// The options that take a value and the flags, for the parser.
extern const char* const scene_valued_options[];
extern const int scene_valued_option_count;

// Reads every scene option present in `words` into `out`. Numbers are whole words in the C
// locale and finite; false with a usage message ("--tilt needs a finite number, not 'x'") on
// the first bad one.
bool read_scene_options(const OptionWords& words, SceneOptions& out, std::string& error);
