#include "curve_presets.h"

// curve_presets() itself, with the fitted points, is generated: curve_presets_fitted.cpp.

const CurvePreset* find_curve_preset(std::string_view name) {
    for (const CurvePreset& p : curve_presets())
        if (name == p.name)
            return &p;
    return nullptr;
}

std::string preset_names(bool colour) {
    std::string names;
    for (const CurvePreset& p : curve_presets())
        if (p.colour == colour)
            names += (names.empty() ? "" : ", ") + std::string(p.name);
    return names;
}

bool parse_preset_choice(const std::string& words, PresetChoice& out, std::string& error) {
    PresetChoice choice;
    std::size_t start = 0;
    int count = 0;
    while (start <= words.size()) {
        const std::size_t comma = words.find(',', start);
        const std::string name =
            words.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        start = comma == std::string::npos ? words.size() + 1 : comma + 1;
        if (++count > 2) {
            error = "at most one colour and one opacity preset";
            return false;
        }
        const CurvePreset* preset = find_curve_preset(name);
        if (!preset) {
            error = name.empty() ? "an empty preset name" : "no preset is named '" + name + "'";
            return false;
        }
        const CurvePreset*& slot = preset->colour ? choice.colour : choice.opacity;
        if (slot) {
            error = preset->colour ? "two colour presets" : "two opacity presets";
            return false;
        }
        slot = preset;
    }
    out = choice;
    return true;
}

const CurvePoints* PresetChoice::curve(int c) const {
    if (c >= 0 && c < 3 && colour)
        return &colour->curves[c];
    if (c == 3 && opacity)
        return &opacity->curves[0];
    return nullptr;
}
