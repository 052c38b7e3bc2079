#include "nice_ticks.h"

#include "c_locale.h"

#include <algorithm>
#include <cmath>

namespace {

// The multiples of `step` between lo and hi, computed as whole multiples so that they print
// as round numbers (a tick of 0.3 is 3 * 0.1, not 0.1 + 0.1 + 0.1).
std::vector<double> multiples(double lo, double hi, double step) {
    // A little slack so that an end that is itself a multiple counts.
    const double slack = 1e-9;
    const double first = std::ceil(lo / step - slack);
    const double last = std::floor(hi / step + slack);
    std::vector<double> out;
    if (!(last - first < 100.0)) // also refuses NaN
        return out;
    for (double k = first; k <= last; k += 1.0)
        out.push_back(k * step);
    return out;
}

} // namespace

Ticks nice_ticks(double a, double b) {
    Ticks ticks;
    const double lo = std::min(a, b), hi = std::max(a, b);
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo))
        return ticks;
    // Mantissas in order of preference where two give equally good counts.
    static constexpr double mantissas[] = {1.0, 2.0, 5.0, 2.5};
    const int top = static_cast<int>(std::floor(std::log10(hi - lo)));
    int best_score = 1 << 30;
    for (int power = top + 1; power >= top - 2; --power) {
        for (const double m : mantissas) {
            const double step = m * std::pow(10.0, power);
            const std::vector<double> values = multiples(lo, hi, step);
            const int n = static_cast<int>(values.size());
            if (n < 4 || n > 6)
                continue;
            const int score = std::abs(n - 5);
            if (score < best_score) {
                best_score = score;
                ticks.values = values;
                ticks.step = step;
                // 2.5 needs one digit more than its power says.
                ticks.decimals = std::max(0, -power + (m == 2.5 ? 1 : 0));
            }
        }
    }
    if (!ticks.values.empty())
        return ticks;
    // No step gives 4 to 6: the coarsest step that gives more, trimmed at the ends.
    double coarsest = 0.0;
    for (int power = top + 1; power >= top - 2; --power)
        for (const double m : mantissas) {
            const double step = m * std::pow(10.0, power);
            std::vector<double> values = multiples(lo, hi, step);
            if (values.size() > 6 && step > coarsest) {
                coarsest = step;
                ticks.values = std::move(values);
                ticks.step = step;
                ticks.decimals = std::max(0, -power + (m == 2.5 ? 1 : 0));
            }
        }
    std::vector<double>& v = ticks.values;
    while (v.size() > 6) {
        // Leave out the tick nearer its end of the span.
        if (v.front() - lo <= hi - v.back())
            v.erase(v.begin());
        else
            v.pop_back();
    }
    return ticks;
}

std::string tick_label(double value, int decimals) {
    std::string text = format_c("%.*f", std::clamp(decimals, 0, 15), value);
    // "-0", "-0.00": a tick at zero computed from a negative side.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}
