#pragma once

#include "colour_map.h"
#include "curves_file.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

// ParaView's JSON colour-map presets, read where a curves file is: a list of objects (or one
// object) with "RGBPoints" [x, r, g, b, ...] in the data's units, and optionally "Points"
// [x, opacity, midpoint, sharpness, ...], "ColorSpace" and "Name". Other keys are ignored.

// Whether a JSON document is to be read as a ParaView preset rather than as a curves file: a
// list, or an object with "RGBPoints", or an object with none of a curves file's keys and one
// of ParaView's ("ColorSpace", "IndexedColors", "Name", "Points", ...).
bool is_paraview_document(const nlohmann::json& doc);

// Reads the first preset of the document that has "RGBPoints" into `map`. Returns the rule the
// document breaks (to follow "cannot be used: "), or an empty string.
std::string read_paraview_map(const nlohmann::json& doc, ColourMap& map);

// The map fitted into the four curves over its own span (its first and last "RGBPoints" at 0
// and 1): the curves it has, has_channel false for opacity without "Points"; no low end or
// range, so that the caller keeps its own; fitted_from and largest_difference filled in.
CurvesFile curves_from_map(const ColourMap& map);
