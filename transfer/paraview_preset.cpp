#include "paraview_preset.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

using nlohmann::json;

constexpr const char* curves_keys[] = {"low", "range", "red", "green", "blue", "opacity"};
constexpr const char* paraview_keys[] = {"RGBPoints",   "Points",        "ColorSpace",
                                         "Name",        "IndexedColors", "NanColor",
                                         "Annotations", "Creator",       "DefaultMap"};

bool has_any(const json& object, const char* const* keys, std::size_t n) {
    return std::any_of(keys, keys + n, [&](const char* k) { return object.contains(k); });
}

bool is_paraview_object(const json& v) {
    return v.is_object() &&
           (v.contains("RGBPoints") || (!has_any(v, curves_keys, std::size(curves_keys)) &&
                                        has_any(v, paraview_keys, std::size(paraview_keys))));
}

bool same_words(std::string a, std::string b) {
    const auto lower = [](std::string& s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    };
    lower(a);
    lower(b);
    return a == b;
}

// Reads a flat list of numbers in groups of four. Returns the rule broken, or "".
std::string read_groups(const json& value, const char* key, std::size_t least,
                        std::vector<double>& out) {
    const std::string name = std::string("\"") + key + "\"";
    if (!value.is_array() || value.size() % 4 != 0 || value.size() < 4 * least)
        return name + " is not a list of at least " + std::to_string(least) +
               " groups of four numbers";
    for (const json& v : value) {
        if (!v.is_number() || !std::isfinite(v.get<double>()))
            return name + " holds something other than a finite number";
        out.push_back(v.get<double>());
    }
    for (std::size_t i = 4; i < out.size(); i += 4)
        if (out[i] < out[i - 4])
            return name + " has a position lower than the one before it (positions must ascend)";
    return {};
}

bool in_unit(double v) {
    return v >= 0.0 && v <= 1.0;
}

std::string read_space(const json& entry, ColourSpace& space) {
    if (!entry.contains("ColorSpace"))
        return {};
    const json& value = entry.at("ColorSpace");
    const struct {
        const char* word;
        ColourSpace space;
    } spaces[] = {{"RGB", ColourSpace::rgb},
                  {"HSV", ColourSpace::hsv},
                  {"Lab", ColourSpace::lab},
                  {"Lab/CIEDE2000", ColourSpace::lab}, // interpolated as Lab
                  {"Diverging", ColourSpace::diverging},
                  {"Step", ColourSpace::step}};
    if (value.is_string())
        for (const auto& s : spaces)
            if (same_words(value.get<std::string>(), s.word)) {
                space = s.space;
                return {};
            }
    return "its \"ColorSpace\" is not one of RGB, HSV, Lab, Diverging, Step";
}

std::string read_entry(const json& entry, ColourMap& map) {
    std::vector<double> rgb;
    if (std::string rule = read_groups(entry.at("RGBPoints"), "RGBPoints", 2, rgb); !rule.empty())
        return rule;
    for (std::size_t i = 0; i < rgb.size(); i += 4) {
        if (!in_unit(rgb[i + 1]) || !in_unit(rgb[i + 2]) || !in_unit(rgb[i + 3]))
            return "\"RGBPoints\" has a colour component outside 0 to 1";
        map.colours.push_back({rgb[i], {rgb[i + 1], rgb[i + 2], rgb[i + 3]}});
    }
    if (!(map.colours.back().x > map.colours.front().x))
        return "the positions of \"RGBPoints\" span no range";
    if (entry.contains("Points")) {
        std::vector<double> nodes;
        if (std::string rule = read_groups(entry.at("Points"), "Points", 1, nodes); !rule.empty())
            return rule;
        for (std::size_t i = 0; i < nodes.size(); i += 4) {
            if (!in_unit(nodes[i + 1]) || !in_unit(nodes[i + 2]) || !in_unit(nodes[i + 3]))
                return "\"Points\" has an opacity, midpoint or sharpness outside 0 to 1";
            map.opacities.push_back({nodes[i], nodes[i + 1], nodes[i + 2], nodes[i + 3]});
        }
    }
    if (std::string rule = read_space(entry, map.space); !rule.empty())
        return rule;
    if (entry.contains("Name") && entry.at("Name").is_string())
        map.name = entry.at("Name").get<std::string>();
    return {};
}

} // namespace

bool is_paraview_document(const json& doc) {
    return doc.is_array() || is_paraview_object(doc);
}

std::string read_paraview_map(const json& doc, ColourMap& map) {
    const json* entry = nullptr;
    bool indexed = false;
    const auto take = [&](const json& e) {
        if (e.is_object() && e.contains("RGBPoints"))
            entry = &e;
        indexed = indexed || (e.is_object() && e.contains("IndexedColors"));
        return entry != nullptr;
    };
    if (doc.is_array()) {
        for (const json& e : doc)
            if (take(e))
                break;
    } else {
        take(doc);
    }
    if (indexed && !entry)
        return "it is a ParaView preset of indexed colours, which has no continuous map to fit "
               "(\"RGBPoints\")";
    if (!entry)
        return doc.is_array() ? "it is not a JSON object (a curves file) nor a ParaView colour "
                                "map: no entry of the list has \"RGBPoints\""
                              : "it is a ParaView preset without \"RGBPoints\"";
    ColourMap read;
    if (std::string rule = read_entry(*entry, read); !rule.empty())
        return "it is a ParaView colour map, but " + rule;
    map = std::move(read);
    return {};
}

CurvesFile curves_from_map(const ColourMap& map) {
    const ColourMapFit fit = fit_colour_map(map);
    CurvesFile file;
    for (int c = 0; c < 4; ++c) {
        file.has_channel[c] = fit.has[c];
        if (fit.has[c])
            file.curves[c] = fit.curves[c];
    }
    file.fitted_from = map.name.empty() ? "a ParaView colour map" : map.name;
    file.largest_difference = fit.largest_error();
    return file;
}
