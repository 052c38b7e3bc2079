#pragma once

// Numbers that several parts of Halvorn must agree on, each defined once here. No Qt, no GL.

inline constexpr double pi = 3.141592653589793;

// Missing data. Grid files mark a missing sample with a large negative value (-9999); what lies
// at or below the threshold is not data.
inline constexpr double missing_threshold = -100.0;

// A sample that counts in the statistics and histograms: strictly above the threshold. NaN does
// not count.
inline bool is_valid_sample(float v) {
    return v > static_cast<float>(missing_threshold);
}

// A grid point that classification paints as missing: its first component lies strictly below
// the threshold, or is NaN (one rule for NaN everywhere: it is never data). A first component of
// exactly the threshold is classified through the curves, as it always was.
inline bool is_missing_point(float first) {
    return !(first >= static_cast<float>(missing_threshold));
}

// Classification doubles the opacity curve's mean; the colour curves' means are used as they are.
inline constexpr double opacity_factor = 2.0;

// Every GL view draws with a vertical field of view of 45 degrees.
inline constexpr double field_of_view_degrees = 45.0;
inline constexpr double field_of_view = pi / 4.0; // radians

// The main view's start-up camera distance from the grid's centre, and its clip planes.
inline constexpr double start_distance = 750.0;
inline constexpr double default_near_plane = 3.0;
inline constexpr double default_far_plane = 1000.0;

// A curve panel: positions 0 to 1 span this many world units, seen from this distance.
inline constexpr double panel_curve_span = 150.0;
inline constexpr double panel_camera_distance = 150.0;
