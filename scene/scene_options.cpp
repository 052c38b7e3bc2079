#include "scene_options.h"

#include "c_locale.h"
#include "component_steps.h"
#include "grid_variables.h"

#include <cmath>

const char* const scene_valued_options[] = {
    "--curves", "--intermediate", "--low",        "--range",   "--distance", "--tilt",
    "--turn",   "--spin",         "--axis-scale", "--missing", "--var",      "--components",
    "--preset", "--integration",  "--window",     "--draw"};
const int scene_valued_option_count =
    static_cast<int>(sizeof scene_valued_options / sizeof scene_valued_options[0]);

namespace {

const std::string* find(const OptionWords& words, const char* name) {
    const auto it = words.find(name);
    return it == words.end() ? nullptr : &it->second;
}

bool finite_number(const OptionWords& words, const char* name, std::optional<double>& out,
                   std::string& error) {
    const std::string* word = find(words, name);
    if (!word)
        return true;
    double v = 0.0;
    if (!parse_c_double(*word, v) || !std::isfinite(v)) {
        error = std::string(name) + " needs a finite number, not '" + *word + "'";
        return false;
    }
    out = v;
    return true;
}

} // namespace

bool read_scene_options(const OptionWords& words, SceneOptions& out, std::string& error) {
    if (const std::string* w = find(words, "--curves"))
        out.curves_path = *w;
    if (const std::string* w = find(words, "--intermediate"))
        out.intermediate_path = *w;
    std::optional<double> tilt, turn, spin;
    if (!finite_number(words, "--low", out.low, error) ||
        !finite_number(words, "--range", out.range, error) ||
        !finite_number(words, "--distance", out.distance, error) ||
        !finite_number(words, "--tilt", tilt, error) ||
        !finite_number(words, "--turn", turn, error) ||
        !finite_number(words, "--spin", spin, error))
        return false;
    out.tilt = tilt.value_or(0.0);
    out.turn = turn.value_or(0.0);
    out.spin = spin.value_or(0.0);
    if (const std::string* w = find(words, "--axis-scale")) {
        Vec3 s;
        if (!parse_c_axis_scale(*w, s.x, s.y, s.z)) {
            error = "--axis-scale needs three numbers other than 0 SX,SY,SZ, not '" + *w + "'";
            return false;
        }
        out.axis_scale = s;
    }
    if (const std::string* w = find(words, "--missing")) {
        if (*w == "grey")
            out.missing = MissingData::grey;
        else if (*w == "faint")
            out.missing = MissingData::faint;
        else if (*w == "hidden")
            out.missing = MissingData::hidden;
        else {
            error = "--missing needs grey, faint or hidden, not '" + *w + "'";
            return false;
        }
    }
    if (const std::string* w = find(words, "--var"); w && !parse_variable_list(*w, out.variables)) {
        error = "--var needs variable names separated by commas, not '" + *w + "'";
        return false;
    }
    if (const std::string* w = find(words, "--components"))
        out.components = *w;
    if (const std::string* w = find(words, "--preset")) {
        PresetChoice choice;
        std::string why;
        if (!parse_preset_choice(*w, choice, why)) {
            error = "--preset needs a colour preset (" + preset_names(true) +
                    "), an opacity preset (" + preset_names(false) + ") or COLOUR,OPACITY, not '" +
                    *w + "' (" + why + ")";
            return false;
        }
        if (choice.colour && !choice.opacity && out.curves_path.empty())
            choice.opacity = find_curve_preset("ramp");
        out.preset = choice;
    }
    if (const std::string* w = find(words, "--window")) {
        SceneOptions::ComponentWindow c;
        if (!parse_component_window(*w, c.first, c.last)) {
            error = "--window needs FIRST:LAST, whole numbers from 1 with FIRST no more than "
                    "LAST, not '" +
                    *w + "'";
            return false;
        }
        out.window = c;
    }
    if (const std::string* w = find(words, "--integration")) {
        if (*w == "exact")
            out.integration = PathIntegration::exact;
        else if (*w == "forward")
            out.integration = PathIntegration::forward;
        else {
            error = "--integration needs exact or forward, not '" + *w + "'";
            return false;
        }
    }
    if (const std::string* w = find(words, "--draw")) {
        SplatDrawing drawing = SplatDrawing::arrays;
        if (!parse_splat_drawing(*w, drawing)) {
            error = "--draw needs immediate, arrays or shaders, not '" + *w + "'";
            return false;
        }
        out.drawing = drawing;
    }
    return true;
}
