#!/usr/bin/python3
"""Writes the reference tables that the curve presets are fitted to and tested against.

    /usr/bin/python3 scripts/make_preset_references.py tests/transfer/data

Each table is a CSV file: comment lines starting with '#' (what the map is, where its values
come from and under which licence), then rows "x,r,g,b" (colour) or "x,a" (opacity) with x
ascending from 0 to 1. Between rows a map is linear; a repeated x is a jump.

viridis comes from matplotlib (Debian's python3-matplotlib; the table is CC0). cool-warm is
computed here from Moreland's diverging map, interpolated in his Msh space, and checked against
matplotlib's "coolwarm", which is sampled from the same map. The others are this program's own
piecewise-linear definitions, written out as their stops.
"""

import math
import os
import sys


def write_table(folder, name, lines, rows):
    path = os.path.join(folder, name + ".csv")
    with open(path, "w", encoding="ascii") as out:
        for line in lines:
            out.write("# " + line + "\n" if line else "#\n")
        for row in rows:
            out.write(",".join("%.6f" % v if i else repr_x(v) for i, v in enumerate(row)) + "\n")
    print("wrote", path, len(rows), "rows")


def repr_x(x):
    # Positions as short as they read back: 0.5, not 0.500000.
    text = "%.10f" % x
    return text.rstrip("0").rstrip(".") if "." in text else text


# --- Moreland's diverging map: sRGB -> linear RGB -> XYZ (D65) -> CIELAB -> Msh, and back.

WHITE = (0.9505, 1.0, 1.089)


def to_linear(c):
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def from_linear(c):
    return c * 12.92 if c <= 0.0031308 else 1.055 * c ** (1.0 / 2.4) - 0.055


def rgb_to_msh(rgb):
    r, g, b = (to_linear(c) for c in rgb)
    xyz = (0.4124 * r + 0.3576 * g + 0.1805 * b,
           0.2126 * r + 0.7152 * g + 0.0722 * b,
           0.0193 * r + 0.1192 * g + 0.9505 * b)

    def f(t):
        return t ** (1.0 / 3.0) if t > 0.008856 else 7.787 * t + 16.0 / 116.0

    fx, fy, fz = (f(v / w) for v, w in zip(xyz, WHITE))
    lab = (116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz))
    m = math.sqrt(sum(v * v for v in lab))
    s = math.acos(lab[0] / m) if m > 0 else 0.0
    h = math.atan2(lab[2], lab[1])
    return m, s, h


def msh_to_rgb(msh):
    m, s, h = msh
    lab = (m * math.cos(s), m * math.sin(s) * math.cos(h), m * math.sin(s) * math.sin(h))
    fy = (lab[0] + 16.0) / 116.0
    fx = fy + lab[1] / 500.0
    fz = fy - lab[2] / 200.0

    def finv(t):
        return t ** 3 if t ** 3 > 0.008856 else (t - 16.0 / 116.0) / 7.787

    x, y, z = (finv(v) * w for v, w in zip((fx, fy, fz), WHITE))
    r = 3.2406 * x - 1.5372 * y - 0.4986 * z
    g = -0.9689 * x + 1.8758 * y + 0.0415 * z
    b = 0.0557 * x - 0.2040 * y + 1.0570 * z
    return tuple(min(1.0, max(0.0, from_linear(c))) for c in (r, g, b))


def adjust_hue(m_sat, s_sat, h_sat, m_unsat):
    # The hue an unsaturated end takes so that the path towards it does not bend in hue.
    if m_sat >= m_unsat:
        return h_sat
    spin = s_sat * math.sqrt(m_unsat ** 2 - m_sat ** 2) / (m_sat * math.sin(s_sat))
    return h_sat + spin if h_sat > -math.pi / 3.0 else h_sat - spin


def diverging(rgb1, rgb2, t):
    m1, s1, h1 = rgb_to_msh(rgb1)
    m2, s2, h2 = rgb_to_msh(rgb2)
    hue_gap = abs(h1 - h2)
    hue_gap = min(hue_gap, 2.0 * math.pi - hue_gap)
    if s1 > 0.05 and s2 > 0.05 and hue_gap > math.pi / 3.0:
        # Two distinct saturated ends meet in a white of the larger magnitude (at least 88).
        mid = max(m1, m2, 88.0)
        if t < 0.5:
            m2, s2, h2, t = mid, 0.0, 0.0, 2.0 * t
        else:
            m1, s1, h1, t = mid, 0.0, 0.0, 2.0 * t - 1.0
    if s1 < 0.05 and s2 > 0.05:
        h1 = adjust_hue(m2, s2, h2, m1)
    elif s2 < 0.05 and s1 > 0.05:
        h2 = adjust_hue(m1, s1, h1, m2)
    return msh_to_rgb(((1 - t) * m1 + t * m2, (1 - t) * s1 + t * s2, (1 - t) * h1 + t * h2))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "tests/transfer/data"
    os.makedirs(folder, exist_ok=True)

    import matplotlib
    from matplotlib import colormaps

    viridis = colormaps["viridis"]
    write_table(folder, "viridis", [
        "viridis: a perceptually uniform sequential colour map by Stefan van der Walt and",
        "Nathaniel Smith. Source: matplotlib %s (Debian python3-matplotlib), the 256 entries of"
        % matplotlib.__version__,
        "colormaps['viridis'].colors, entry i at x = i/255. Licence: CC0 1.0 (public domain).",
        "Written by scripts/make_preset_references.py.",
    ], [(i / 255.0,) + tuple(viridis.colors[i][:3]) for i in range(256)])

    cool, warm = (0.230, 0.299, 0.754), (0.706, 0.016, 0.150)
    rows = [(i / 255.0,) + diverging(cool, warm, i / 255.0) for i in range(256)]
    # matplotlib's "coolwarm" holds 33 knots of the same map (at x = k/32) and interpolates
    # linearly between them; at its knots the two agree to the rounding of its end colours.
    import matplotlib._cm as mpl_data
    knots = mpl_data._coolwarm_data
    gap = max(abs(diverging(cool, warm, k / 32.0)[c] - knots[name][k][1])
              for k in range(33) for c, name in enumerate(("red", "green", "blue")))
    print("cool-warm: largest difference from matplotlib's coolwarm knots %.5f" % gap)
    write_table(folder, "cool_warm", [
        "cool-warm: Kenneth Moreland's diverging colour map (\"Diverging Color Maps for",
        "Scientific Visualization\", 2009), interpolated in his Msh space between the cool end",
        "(0.230, 0.299, 0.754) and the warm end (0.706, 0.016, 0.150) through a white of",
        "magnitude 88, sRGB with the D65 white (0.9505, 1.0, 1.089); 256 entries at x = i/255.",
        "Computed by scripts/make_preset_references.py from the published algorithm (free to",
        "use); at the 33 knots of matplotlib %s's \"coolwarm\" it differs from them by at most" %
        matplotlib.__version__,
        "%.4f." % gap,
    ], rows)

    write_table(folder, "temperature", [
        "temperature: dark blue through white to dark red, this program's own map, linear",
        "between these stops (x, r, g, b). No third-party values.",
    ], [(0.0, 0.020, 0.060, 0.300), (0.2, 0.100, 0.350, 0.750), (0.4, 0.600, 0.800, 0.950),
        (0.5, 0.970, 0.970, 0.970), (0.6, 0.980, 0.780, 0.600), (0.8, 0.850, 0.250, 0.150),
        (1.0, 0.400, 0.000, 0.050)])
    write_table(folder, "grey", [
        "grey: black to white, linear. This program's own map.",
    ], [(0.0, 0.0, 0.0, 0.0), (1.0, 1.0, 1.0, 1.0)])

    write_table(folder, "ramp", ["ramp: opacity rising linearly from 0 to 1."],
                [(0.0, 0.0), (1.0, 1.0)])
    write_table(folder, "tent", ["tent: opacity 0 at both ends and 1 in the middle, linear."],
                [(0.0, 0.0), (0.5, 1.0), (1.0, 0.0)])
    write_table(folder, "step", ["step: opacity 0 below the middle and 1 from it on."],
                [(0.0, 0.0), (0.5, 0.0), (0.5, 1.0), (1.0, 1.0)])


if __name__ == "__main__":
    main()
