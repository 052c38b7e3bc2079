#include "component_steps.h"

#include "c_locale.h"

#include <chrono>
#include <cmath>
#include <cstdio>

bool parse_component_window(const std::string& word, int& first, int& last) {
    const std::size_t colon = word.find(':');
    int a = 0, b = 0;
    if (colon == std::string::npos) {
        if (!parse_c_int(word, a))
            return false;
        b = a;
    } else if (!parse_c_int(word.substr(0, colon), a) || !parse_c_int(word.substr(colon + 1), b)) {
        return false;
    }
    if (a < 1 || b < a)
        return false;
    first = a;
    last = b;
    return true;
}

std::string component_window_misfit(int first, int last, int components) {
    if (first >= 1 && first <= last && last <= components)
        return {};
    const std::string window = format_c("--window %d:%d", first, last);
    if (components <= 0)
        return window + " needs a grid with components";
    return window +
           format_c(" ends past the grid's %d component%s", components, components == 1 ? "" : "s");
}

int window_positions(int width, int components) {
    return width >= 1 && width <= components ? components - width + 1 : 0;
}

int next_window_first(int first, int width, int components) {
    const int positions = window_positions(width, components);
    if (positions <= 0)
        return 0;
    return first + 1 < positions ? first + 1 : 0;
}

namespace {

// CF time units: "UNIT since YYYY-MM-DD[ HH:MM[:SS]]" with UNIT days, hours, minutes or seconds
// (singular or plural). Gives the unit in seconds and the reference time, else false: months
// and years have no fixed length, and other calendars are not the civil one.
bool time_units(const std::string& units, double& unit_seconds, std::chrono::sys_days& day,
                double& day_seconds) {
    char unit[16] = {};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0.0;
    int used = 0;
    const int got = std::sscanf(units.c_str(), "%15s since %d-%d-%d%n", unit, &y, &mo, &d, &used);
    if (got != 4)
        return false;
    const std::string rest = units.substr(static_cast<std::size_t>(used));
    if (!rest.empty()) {
        const char* r = rest.c_str();
        while (*r == ' ' || *r == 'T')
            ++r;
        if (*r && std::sscanf(r, "%d:%d:%lf", &h, &mi, &s) < 2)
            return false;
    }
    const std::string u = unit;
    if (u == "days" || u == "day")
        unit_seconds = 86400.0;
    else if (u == "hours" || u == "hour")
        unit_seconds = 3600.0;
    else if (u == "minutes" || u == "minute")
        unit_seconds = 60.0;
    else if (u == "seconds" || u == "second")
        unit_seconds = 1.0;
    else
        return false;
    const std::chrono::year_month_day ymd{std::chrono::year(y),
                                          std::chrono::month(static_cast<unsigned>(mo)),
                                          std::chrono::day(static_cast<unsigned>(d))};
    if (!ymd.ok())
        return false;
    day = std::chrono::sys_days(ymd);
    day_seconds = h * 3600.0 + mi * 60.0 + s;
    return true;
}

} // namespace

std::string component_coordinate_text(const GridAxis& components, int index) {
    if (!components.has_coordinates() || index < 0 ||
        static_cast<std::size_t>(index) >= components.values.size())
        return {};
    const double v = components.values[static_cast<std::size_t>(index)];
    double unit = 0.0, start_seconds = 0.0;
    std::chrono::sys_days start;
    if (std::isfinite(v) && std::fabs(v) < 1e12 &&
        time_units(components.units, unit, start, start_seconds)) {
        // Rounded to the second: a day's fraction stored in float steps lands on the minute.
        const double total = std::round(start_seconds + v * unit);
        const double whole_days = std::floor(total / 86400.0);
        const long long seconds = static_cast<long long>(total - whole_days * 86400.0);
        const std::chrono::year_month_day ymd{
            start + std::chrono::days(static_cast<long long>(whole_days))};
        std::string text =
            format_c("%04d-%02u-%02u", static_cast<int>(ymd.year()),
                     static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
        if (seconds != 0)
            text += format_c(" %02lld:%02lld", seconds / 3600, seconds / 60 % 60);
        return text;
    }
    std::string text = format_c("%.6g", v);
    if (!components.units.empty())
        text += " " + components.units;
    return text;
}

std::string component_window_label(const GridDescription& description, int first, int last,
                                   int count) {
    std::string text = first == last
                           ? format_c("Component %d of %d", first + 1, count)
                           : format_c("Components %d-%d of %d", first + 1, last + 1, count);
    const GridAxis& axis = description.components;
    if (description.components_from_dimension() && axis.has_coordinates() &&
        axis.values.size() == static_cast<std::size_t>(count)) {
        text += ": " + axis.name + " " + component_coordinate_text(axis, first);
        if (last != first)
            text += " to " + component_coordinate_text(axis, last);
    } else if (!description.components_from_dimension() &&
               description.variables.size() == static_cast<std::size_t>(count)) {
        text += ": " + description.variables[static_cast<std::size_t>(first)].name;
        for (int c = first + 1; c <= last; ++c)
            text += ", " + description.variables[static_cast<std::size_t>(c)].name;
    }
    return text;
}
