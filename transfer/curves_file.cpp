#include "curves_file.h"

#include "c_locale.h"
#include "open_for_reading.h"
#include "output_file.h"
#include "shown_path.h"
#include "transfer_function.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>

const char* const curve_channel_names[4] = {"red", "green", "blue", "opacity"};

namespace {

using nlohmann::json;

// Curves files are a few hundred bytes; anything this large is not one.
constexpr std::size_t max_file_bytes = 1 << 20;
// A FIFO named as the curves file gets this long for a writer to open it, and its writer this
// long to send more, before the file is refused: the dialog reads it on its only thread.
constexpr int fifo_writer_wait_ms = 1000;
constexpr auto fifo_silence_limit = std::chrono::seconds(2);

// The start of every message about the file, its name shown safely.
std::string named(const std::string& path) {
    return "The curves file \"" + shown_path(path) + "\"";
}

std::string refusal(const std::string& path, const std::string& rule) {
    return named(path) + " cannot be used: " + rule + ".";
}

std::string quoted(const std::string& key) {
    return "\"" + key + "\"";
}

// Checks one curve's points in order and appends the final (1.0, 0.0) when it is missing.
// Returns the rule broken, or an empty string.
std::string check_points(const std::string& name, CurvePoints& points) {
    for (int i = 0; i < points.count; ++i) {
        const std::string which = "point " + std::to_string(i + 1) + " of " + quoted(name);
        if (!std::isfinite(points.x[i]) || !std::isfinite(points.y[i]))
            return which + " has a value that is not a finite number";
        if (i > 0 && points.x[i] < points.x[i - 1])
            return which + " has a lower x than the point before it (x must ascend)";
        if (points.x[i] > 1.0)
            return which + " lies beyond x = 1.0";
    }
    const int last = points.count - 1;
    if (points.count == 0 || points.x[last] != 1.0 || points.y[last] != 0.0) {
        if (points.count >= CurvePoints::capacity)
            return quoted(name) + " has more than 20 points with the final point (1.0, 0.0)";
        points.x[points.count] = 1.0;
        points.y[points.count] = 0.0;
        ++points.count;
    }
    return {};
}

// Reads one channel's array of [x, y] pairs.
std::string read_channel(const std::string& name, const json& value, CurvePoints& points) {
    if (!value.is_array())
        return quoted(name) + " is not a list of [x, y] points";
    if (value.size() > static_cast<std::size_t>(CurvePoints::capacity))
        return quoted(name) + " has " + std::to_string(value.size()) +
               " points; a curve holds at most 20";
    points.count = 0;
    for (const json& point : value) {
        if (!point.is_array() || point.size() != 2 || !point[0].is_number() ||
            !point[1].is_number())
            return "point " + std::to_string(points.count + 1) + " of " + quoted(name) +
                   " is not a pair of numbers [x, y]";
        points.x[points.count] = point[0].get<double>();
        points.y[points.count] = point[1].get<double>();
        ++points.count;
    }
    return check_points(name, points);
}

std::string read_number(const std::string& name, const json& value, double& number) {
    if (!value.is_number())
        return quoted(name) + " is not a number";
    number = value.get<double>();
    if (!std::isfinite(number))
        return quoted(name) + " is not a finite number";
    return {};
}

std::string parse_document(const json& doc, CurvesFile& file) {
    if (!doc.is_object())
        return "it is not a JSON object";
    for (const auto& [key, value] : doc.items()) {
        std::string rule;
        if (key == "low") {
            rule = read_number(key, value, file.low);
            file.has_low = true;
        } else if (key == "range") {
            rule = read_number(key, value, file.range);
            file.has_range = true;
        } else {
            int channel = 0;
            while (channel < 4 && key != curve_channel_names[channel])
                ++channel;
            if (channel == 4)
                return "the key " + quoted(key) +
                       " is not one of low, range, red, green, blue, opacity";
            rule = read_channel(key, value, file.curves[channel]);
        }
        if (!rule.empty())
            return rule;
    }
    return {};
}

// The shortest text that reads back as exactly `value`, independent of the locale.
std::string number_text(double value) {
    return json(value).dump();
}

} // namespace

bool parse_curves_text(const std::string& text, const std::string& path, CurvesFile& out,
                       std::string& error) {
    // The lexer consults the locale's decimal point: pin it to "C" for the parse.
    const CLocaleScope c_numbers;
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        error =
            refusal(path, "it is not JSON (syntax error at byte " + std::to_string(e.byte) + ")");
        return false;
    } catch (const json::out_of_range&) {
        error = refusal(path, "a number in it is not a finite number");
        return false;
    } catch (const std::exception&) {
        error = refusal(path, "it is not JSON");
        return false;
    }
    CurvesFile file;
    std::string rule;
    try {
        rule = parse_document(doc, file);
    } catch (const std::exception&) {
        rule = "it does not have the layout of a curves file";
    }
    if (!rule.empty()) {
        error = refusal(path, rule);
        return false;
    }
    out = file;
    return true;
}

bool read_curves_file(const std::string& path, CurvesFile& out, std::string& error) {
    // A FIFO is opened as the grid's is (a bounded wait for a writer), and a writer that stays
    // silent is given up rather than waited on.
    std::int64_t last_bytes = 0;
    auto last_data = std::chrono::steady_clock::now();
    PipeWait wait;
    wait.waiting = [&](std::int64_t bytes_read) {
        const auto now = std::chrono::steady_clock::now();
        if (bytes_read != last_bytes) {
            last_bytes = bytes_read;
            last_data = now;
        }
        return now - last_data < fifo_silence_limit;
    };
    std::FILE* in = open_for_reading(path.c_str(), fifo_writer_wait_ms, wait);
    if (!in) {
        error = named(path) + " cannot be opened.";
        return false;
    }
    std::string text;
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0) {
        text.append(block, n);
        if (text.size() > max_file_bytes) {
            std::fclose(in);
            error = refusal(path, "it is larger than 1 MiB");
            return false;
        }
    }
    const bool failed = std::ferror(in);
    std::fclose(in);
    if (failed) {
        error = named(path) + " cannot be read.";
        return false;
    }
    return parse_curves_text(text, path, out, error);
}

bool write_curves_file(const std::string& path, const CurvesFile& curves, std::string& error,
                       const std::vector<std::string>& keep) {
    // Check what would be written with the reader's own rules.
    for (int c = 0; c < 4; ++c) {
        CurvePoints check = curves.curves[c];
        std::string rule =
            check.count < 0 || check.count > CurvePoints::capacity
                ? "\"" + std::string(curve_channel_names[c]) + "\" does not have 0 to 20 points"
                : check_points(curve_channel_names[c], check);
        if (!rule.empty()) {
            error = named(path) + " was not written: " + rule + ".";
            return false;
        }
    }
    if ((curves.has_low && !std::isfinite(curves.low)) ||
        (curves.has_range && !std::isfinite(curves.range))) {
        error = named(path) + " was not written: the low end and range must be finite numbers.";
        return false;
    }

    std::string text = "{\n";
    if (curves.has_low)
        text += "  \"low\": " + number_text(curves.low) + ",\n";
    if (curves.has_range)
        text += "  \"range\": " + number_text(curves.range) + ",\n";
    for (int c = 0; c < 4; ++c) {
        const CurvePoints& points = curves.curves[c];
        text += "  \"" + std::string(curve_channel_names[c]) + "\": [";
        for (int i = 0; i < points.count; ++i)
            text += (i ? ", [" : "[") + number_text(points.x[i]) + ", " + number_text(points.y[i]) +
                    "]";
        text += c < 3 ? "],\n" : "]\n";
    }
    text += "}\n";

    std::string why;
    if (!write_whole_file(path, keep, text.data(), text.size(), &why)) {
        error = named(path) + " could not be written: " + why + ".";
        return false;
    }
    return true;
}

CurvePoints curve_points(const TransferFunction& curve) {
    CurvePoints points;
    points.count = curve.count;
    for (int i = 0; i < curve.count; ++i) {
        points.x[i] = curve.x[i];
        points.y[i] = curve.y[i];
    }
    return points;
}

void set_curve_points(TransferFunction& curve, const CurvePoints& points) {
    if (points.count < 1 || points.count > TransferFunction::capacity)
        return;
    curve.assign_points(points.count, points.x, points.y);
    curve.dragging = false;
    curve.selected = -1;
}
