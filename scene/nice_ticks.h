#pragma once

#include <string>
#include <vector>

// Round-number ticks for a value axis: a step of 1, 2, 2.5 or 5 times a power of ten and the
// multiples of it that lie between the two ends, chosen so there are 4 to 6 of them (5 where a
// step gives it). Where no such step gives 4 to 6 within the span, the next finer step is taken
// and its ticks nearest the ends are left out until 6 remain.
struct Ticks {
    std::vector<double> values; // ascending
    double step = 0.0;
    int decimals = 0; // digits after the point that print every tick exactly
};

// The ticks between `a` and `b` (either order). No ticks for ends that are equal or not finite.
Ticks nice_ticks(double a, double b);

// `value` with `decimals` digits after the point, in the C locale; never "-0".
std::string tick_label(double value, int decimals);
