#include "grid_description.h"

#include "c_locale.h"

#include <strings.h>

namespace {

// Up to this many component coordinates are listed one by one; more are shown as a range.
constexpr std::size_t listed_component_values = 12;

std::string number(double v) {
    return format_c("%.6g", v);
}

std::string base_name(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "SST (sea surface temperature, degC)", leaving out what the file does not say.
std::string variable_text(const GridVariable& v) {
    std::string details = v.long_name;
    if (!v.units.empty())
        details += (details.empty() ? "" : ", ") + v.units;
    return details.empty() ? v.name : v.name + " (" + details + ")";
}

// "TIME 15..345 days" or "LON 0..179 (grid indices)".
std::string axis_text(const GridAxis& a) {
    std::string text = a.name + " ";
    if (!a.has_coordinates())
        return text + "0.." + number(static_cast<double>(a.extent - 1)) + " (grid indices)";
    text += number(a.values.front()) + ".." + number(a.values.back());
    if (!a.units.empty())
        text += " " + a.units;
    if (a.positive_down())
        text += ", positive down";
    return text;
}

std::string component_values_text(const GridAxis& a) {
    if (!a.has_coordinates() || a.values.size() > listed_component_values)
        return axis_text(a);
    std::string text = a.name + " ";
    for (std::size_t i = 0; i < a.values.size(); ++i)
        text += (i ? ", " : "") + number(a.values[i]);
    if (!a.units.empty())
        text += " " + a.units;
    return text;
}

} // namespace

double GridAxis::coordinate(std::int64_t index) const {
    return has_coordinates() ? values[static_cast<std::size_t>(index)] : static_cast<double>(index);
}

bool GridAxis::positive_down() const {
    return strcasecmp(positive.c_str(), "down") == 0;
}

std::vector<std::string> GridDescription::lines() const {
    std::vector<std::string> out;
    if (format.empty() || format == "grid text")
        return out;
    out.push_back("File: " + base_name(file) + " (" + format + ")");
    if (variables.size() == 1) {
        std::string line = "Variable: " + variable_text(variables[0]);
        if (components_from_dimension())
            line += "; components along " + component_values_text(components);
        out.push_back(line);
    } else if (!variables.empty()) {
        std::string line = "Variables, one per component:";
        for (std::size_t i = 0; i < variables.size(); ++i)
            line += (i ? ", " : " ") + variable_text(variables[i]);
        out.push_back(line);
    }
    static const char* const axis_names[3] = {"x", "y", "z"};
    for (int a = 0; a < 3; ++a)
        if (!axes[a].name.empty())
            out.push_back(std::string(axis_names[a]) + ": " + axis_text(axes[a]));
    if (missing_count > 0)
        out.push_back(format_c("Missing: %lld samples (fill values, missing_value, outside the "
                               "valid range, NaN)",
                               static_cast<long long>(missing_count)));
    const std::string notice = low_value_notice();
    if (!notice.empty())
        out.push_back(notice);
    return out;
}

std::string GridDescription::low_value_notice() const {
    if (low_value_count == 0)
        return {};
    return format_c("%lld valid value%s at or below -100 will be read as missing",
                    static_cast<long long>(low_value_count), low_value_count == 1 ? "" : "s");
}
