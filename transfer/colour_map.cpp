#include "colour_map.h"

#include "c_locale.h"
#include "shared_constants.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

// --- Colour spaces: sRGB, CIELAB with the D65 white, Msh (Lab in polar form), HSV.

constexpr double white[3] = {0.9505, 1.0, 1.089};

struct Triple {
    double v[3];
};

double to_linear(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double from_linear(double c) {
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
}

Triple rgb_to_lab(const double* rgb) {
    const double r = to_linear(rgb[0]), g = to_linear(rgb[1]), b = to_linear(rgb[2]);
    const double xyz[3] = {0.4124 * r + 0.3576 * g + 0.1805 * b,
                           0.2126 * r + 0.7152 * g + 0.0722 * b,
                           0.0193 * r + 0.1192 * g + 0.9505 * b};
    double f[3];
    for (int i = 0; i < 3; ++i) {
        const double t = xyz[i] / white[i];
        f[i] = t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0;
    }
    return {{116.0 * f[1] - 16.0, 500.0 * (f[0] - f[1]), 200.0 * (f[1] - f[2])}};
}

Triple lab_to_rgb(const Triple& lab) {
    const double fy = (lab.v[0] + 16.0) / 116.0;
    const double f[3] = {fy + lab.v[1] / 500.0, fy, fy - lab.v[2] / 200.0};
    double xyz[3];
    for (int i = 0; i < 3; ++i) {
        const double cube = f[i] * f[i] * f[i];
        xyz[i] = white[i] * (cube > 0.008856 ? cube : (f[i] - 16.0 / 116.0) / 7.787);
    }
    const double lin[3] = {3.2406 * xyz[0] - 1.5372 * xyz[1] - 0.4986 * xyz[2],
                           -0.9689 * xyz[0] + 1.8758 * xyz[1] + 0.0415 * xyz[2],
                           0.0557 * xyz[0] - 0.2040 * xyz[1] + 1.0570 * xyz[2]};
    Triple rgb;
    for (int i = 0; i < 3; ++i)
        rgb.v[i] = std::clamp(from_linear(lin[i]), 0.0, 1.0);
    return rgb;
}

Triple lab_to_msh(const Triple& lab) {
    const double m = std::sqrt(lab.v[0] * lab.v[0] + lab.v[1] * lab.v[1] + lab.v[2] * lab.v[2]);
    const double s = m > 0.0 ? std::acos(std::clamp(lab.v[0] / m, -1.0, 1.0)) : 0.0;
    return {{m, s, std::atan2(lab.v[2], lab.v[1])}};
}

Triple msh_to_lab(const Triple& msh) {
    const double m = msh.v[0], s = msh.v[1], h = msh.v[2];
    return {{m * std::cos(s), m * std::sin(s) * std::cos(h), m * std::sin(s) * std::sin(h)}};
}

// The hue an unsaturated end takes so that the path from the saturated end does not bend.
double adjusted_hue(const Triple& saturated, double unsaturated_m) {
    const double m = saturated.v[0], s = saturated.v[1], h = saturated.v[2];
    if (m >= unsaturated_m)
        return h;
    const double spin = s * std::sqrt(unsaturated_m * unsaturated_m - m * m) / (m * std::sin(s));
    return h > -pi / 3.0 ? h + spin : h - spin;
}

Triple diverging(const double* from, const double* to, double t) {
    Triple a = lab_to_msh(rgb_to_lab(from));
    Triple b = lab_to_msh(rgb_to_lab(to));
    double gap = std::fabs(a.v[2] - b.v[2]);
    gap = std::min(gap, 2.0 * pi - gap);
    if (a.v[1] > 0.05 && b.v[1] > 0.05 && gap > pi / 3.0) {
        // Two saturated ends of distinct hues meet in a white at least as bright as either.
        const double middle = std::max({a.v[0], b.v[0], 88.0});
        if (t < 0.5) {
            b = {{middle, 0.0, 0.0}};
            t *= 2.0;
        } else {
            a = {{middle, 0.0, 0.0}};
            t = 2.0 * t - 1.0;
        }
    }
    if (a.v[1] < 0.05 && b.v[1] > 0.05)
        a.v[2] = adjusted_hue(b, a.v[0]);
    else if (b.v[1] < 0.05 && a.v[1] > 0.05)
        b.v[2] = adjusted_hue(a, b.v[0]);
    Triple msh;
    for (int i = 0; i < 3; ++i)
        msh.v[i] = (1.0 - t) * a.v[i] + t * b.v[i];
    return lab_to_rgb(msh_to_lab(msh));
}

Triple rgb_to_hsv(const double* rgb) {
    const double hi = std::max({rgb[0], rgb[1], rgb[2]});
    const double lo = std::min({rgb[0], rgb[1], rgb[2]});
    const double d = hi - lo;
    double h = 0.0;
    if (d > 0.0) {
        if (hi == rgb[0])
            h = (rgb[1] - rgb[2]) / d;
        else if (hi == rgb[1])
            h = 2.0 + (rgb[2] - rgb[0]) / d;
        else
            h = 4.0 + (rgb[0] - rgb[1]) / d;
        h /= 6.0;
        if (h < 0.0)
            h += 1.0;
    }
    return {{h, hi > 0.0 ? d / hi : 0.0, hi}};
}

Triple hsv_to_rgb(const Triple& hsv) {
    const double h = hsv.v[0] * 6.0, s = hsv.v[1], v = hsv.v[2];
    const int sector = std::clamp(static_cast<int>(std::floor(h)), 0, 5);
    const double f = h - sector;
    const double p = v * (1.0 - s), q = v * (1.0 - s * f), r = v * (1.0 - s * (1.0 - f));
    const Triple table[6] = {{{v, r, p}}, {{q, v, p}}, {{p, v, r}},
                             {{p, q, v}}, {{r, p, v}}, {{v, p, q}}};
    return table[sector];
}

Triple between(ColourSpace space, const double* a, const double* b, double t) {
    Triple out;
    switch (space) {
    case ColourSpace::step:
        return {{a[0], a[1], a[2]}};
    case ColourSpace::diverging:
        return diverging(a, b, t);
    case ColourSpace::lab: {
        const Triple la = rgb_to_lab(a), lb = rgb_to_lab(b);
        for (int i = 0; i < 3; ++i)
            out.v[i] = (1.0 - t) * la.v[i] + t * lb.v[i];
        return lab_to_rgb(out);
    }
    case ColourSpace::hsv: {
        const Triple ha = rgb_to_hsv(a), hb = rgb_to_hsv(b);
        for (int i = 0; i < 3; ++i)
            out.v[i] = (1.0 - t) * ha.v[i] + t * hb.v[i];
        return hsv_to_rgb(out);
    }
    case ColourSpace::rgb:
        break;
    }
    for (int i = 0; i < 3; ++i)
        out.v[i] = (1.0 - t) * a[i] + t * b[i];
    return out;
}

// The stops around x: the index of the first stop beyond x (0: before all, n: after all).
// At a repeated position the later stop's side is taken, so a jump is continuous from the
// right.
template <class Stop> std::size_t first_beyond(const std::vector<Stop>& stops, double x) {
    return static_cast<std::size_t>(
        std::upper_bound(stops.begin(), stops.end(), x,
                         [](double v, const Stop& s) { return v < s.x; }) -
        stops.begin());
}

// ParaView's opacity between two nodes: the position moved so that the midpoint is halfway,
// then linear (sharpness 0), a step at the midpoint (sharpness 1), or between them a Hermite
// curve whose end slopes shrink with the sharpness.
double opacity_between(const OpacityStop& a, double y1, double s) {
    const double y0 = a.opacity;
    const double m = std::clamp(a.midpoint, 1e-5, 1.0 - 1e-5);
    s = s < m ? 0.5 * s / m : 0.5 + 0.5 * (s - m) / (1.0 - m);
    if (a.sharpness > 0.99)
        return s < 0.5 ? y0 : y1;
    if (a.sharpness < 0.01)
        return (1.0 - s) * y0 + s * y1;
    const double ss = s * s, sss = ss * s;
    const double slope = (1.0 - a.sharpness) * (y1 - y0);
    const double v = (2.0 * sss - 3.0 * ss + 1.0) * y0 + (-2.0 * sss + 3.0 * ss) * y1 +
                     (sss - 2.0 * ss + s) * slope + (sss - ss) * slope;
    return std::clamp(v, std::min(y0, y1), std::max(y0, y1));
}

} // namespace

void map_colour(const ColourMap& map, double x, double rgb[3]) {
    const auto& stops = map.colours;
    if (stops.empty()) {
        rgb[0] = rgb[1] = rgb[2] = 0.0;
        return;
    }
    const std::size_t i = first_beyond(stops, x);
    const ColourStop& a = stops[i == 0 ? 0 : i - 1];
    if (i == 0 || i == stops.size()) {
        std::copy(a.rgb, a.rgb + 3, rgb);
        return;
    }
    const ColourStop& b = stops[i];
    const Triple c = between(map.space, a.rgb, b.rgb, (x - a.x) / (b.x - a.x));
    std::copy(c.v, c.v + 3, rgb);
}

double map_opacity(const ColourMap& map, double x) {
    const auto& stops = map.opacities;
    if (stops.empty())
        return 0.0;
    const std::size_t i = first_beyond(stops, x);
    if (i == 0 || i == stops.size())
        return stops[i == 0 ? 0 : i - 1].opacity;
    const OpacityStop& a = stops[i - 1];
    return opacity_between(a, stops[i].opacity, (x - a.x) / (stops[i].x - a.x));
}

ChannelSamples sample_channel(const ColourMap& map, int channel) {
    ChannelSamples samples;
    const bool colour = channel < 3;
    std::vector<double> at;
    if (!map.colours.empty())
        for (const ColourStop& s : map.colours)
            at.push_back(s.x);
    else
        for (const OpacityStop& s : map.opacities)
            at.push_back(s.x);
    if (at.empty())
        return samples;
    const double lo = at.front();
    const double span = at.back() - lo;
    for (int k = 0; k <= ChannelSamples::steps; ++k) {
        const double x = lo + span * (double(k) / ChannelSamples::steps);
        double rgb[3];
        if (colour)
            map_colour(map, x, rgb);
        samples.value[k] = colour ? rgb[channel] : map_opacity(map, x);
    }
    count_measured_span(samples);
    if (span <= 0.0)
        return samples;
    // Where the channel jumps: a repeated position, every stop of a step map, the midpoint of
    // an opacity node of full sharpness.
    const auto at_unit = [&](double x) { return (x - lo) / span; };
    if (colour) {
        const auto& s = map.colours;
        for (std::size_t i = 1; i < s.size(); ++i)
            if (s[i].x == s[i - 1].x || map.space == ColourSpace::step)
                skip_jump(samples, at_unit(s[i].x));
    } else {
        const auto& s = map.opacities;
        for (std::size_t i = 1; i < s.size(); ++i) {
            if (s[i].x == s[i - 1].x)
                skip_jump(samples, at_unit(s[i].x));
            else if (s[i - 1].sharpness > 0.99)
                skip_jump(samples, at_unit(s[i - 1].x + s[i - 1].midpoint * (s[i].x - s[i - 1].x)));
        }
    }
    return samples;
}

double ColourMapFit::largest_error() const {
    double worst = 0.0;
    for (int c = 0; c < 4; ++c)
        if (has[c])
            worst = std::max(worst, max_error[c]);
    return worst;
}

ColourMapFit fit_colour_map(const ColourMap& map, const FitLimits& limits) {
    ColourMapFit fit;
    for (int c = 0; c < 4; ++c) {
        fit.has[c] = c < 3 ? !map.colours.empty() : !map.opacities.empty();
        if (!fit.has[c])
            continue;
        const CurveFit one = fit_channel(sample_channel(map, c), limits);
        fit.curves[c] = one.points;
        fit.max_error[c] = one.max_error;
    }
    return fit;
}

bool parse_map_table(const std::string& text, ColourMap& out, std::string& error) {
    ColourMap map;
    std::istringstream lines(text);
    std::string line;
    int row = 0, columns = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        ++row;
        std::vector<double> values;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) {
            double v = 0.0;
            if (!parse_c_double(cell, v) || !std::isfinite(v)) {
                error = "row " + std::to_string(row) + ": '" + cell + "' is not a number";
                return false;
            }
            values.push_back(v);
        }
        if (row == 1)
            columns = static_cast<int>(values.size());
        if ((columns != 2 && columns != 4) || static_cast<int>(values.size()) != columns) {
            error = "row " + std::to_string(row) + " does not have 2 or 4 numbers like the first";
            return false;
        }
        const double x = values[0];
        const double last = columns == 4 ? (map.colours.empty() ? x : map.colours.back().x)
                                         : (map.opacities.empty() ? x : map.opacities.back().x);
        if (x < last) {
            error = "row " + std::to_string(row) + " has a lower x than the row before it";
            return false;
        }
        if (columns == 4)
            map.colours.push_back({x, {values[1], values[2], values[3]}});
        else
            map.opacities.push_back({x, values[1]});
    }
    if (row < 2) {
        error = "a table needs at least two rows";
        return false;
    }
    out = std::move(map);
    return true;
}
