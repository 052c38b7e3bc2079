#pragma once

#include <string>
#include <vector>

class TransferFunction;

// The control points of one curve, as a curves file holds them: ascending x, the origin (0, 0)
// implicit, the final point (1.0, 0.0) included.
struct CurvePoints {
    static constexpr int capacity = 20;
    int count = 1;
    double x[capacity] = {1.0};
    double y[capacity] = {0.0};
};

// The contents of a curves file (JSON):
//   { "low": 0, "range": 100,
//     "red": [[0.3, 0.8], [1.0, 0.0]], "green": [...], "blue": [...], "opacity": [...] }
// A missing channel is the new-curve default; a missing "low" or "range" leaves has_low or
// has_range false (the caller keeps its own value).
struct CurvesFile {
    CurvePoints curves[4]; // red, green, blue, opacity
    bool has_low = false;
    double low = 0.0;
    bool has_range = false;
    double range = 100.0;
};

// "red", "green", "blue", "opacity": the keys of CurvesFile::curves, in order.
extern const char* const curve_channel_names[4];

// Reads a curves file. A file that cannot be read, is not JSON, has a key other than the six,
// a curve with more than 20 points (the appended final point counted), x not ascending or
// beyond 1.0, a point that is not a pair of finite numbers, or a "low" or "range" that is not
// a finite number is refused: false, `error` names the file and the rule, and `out` is
// unchanged. Numbers are read independently of the locale.
bool read_curves_file(const std::string& path, CurvesFile& out, std::string& error);

// The same rules for text already in memory; `path` only names the file in messages.
bool parse_curves_text(const std::string& text, const std::string& path, CurvesFile& out,
                       std::string& error);

// Writes the file whole or not at all (see OutputFile: a temporary file flushed to the disk and
// renamed into place), every number in its shortest form that reads back exactly. Refuses
// non-finite values, curves the reader would refuse, and a path naming one of `keep` (the
// grid in use).
bool write_curves_file(const std::string& path, const CurvesFile& curves, std::string& error,
                       const std::vector<std::string>& keep = {});

// The curve's control points.
CurvePoints curve_points(const TransferFunction& curve);

// Replaces the curve's control points and marks its segments for rebuilding; the hold is
// released. Points are taken as given (read_curves_file has checked them).
void set_curve_points(TransferFunction& curve, const CurvePoints& points);
