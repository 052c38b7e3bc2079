#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What an import opened, for the text area and for the features that show where a grid point
// lies (a probe, a legend's units, the flip of a depth axis). No Qt, no GL.
//
// Everything here describes the file as stored: the values of an axis run over the file's
// columns, rows and planes in order. The data volume is the file's grid mirrored along x, so
// its column x lies at file column nx - 1 - x.

// One axis of the grid (x, y or z) or the dimension the components were taken from.
struct GridAxis {
    std::string name;           // the dimension's name; empty for an axis the file does not have
    std::int64_t extent = 1;    // grid points along it (1 for an axis the file does not have)
    std::vector<double> values; // the coordinate variable's values, one per index; empty if none
    std::string units;          // the coordinate variable's units attribute; may be empty
    std::string long_name;      // the coordinate variable's long_name, or else its standard_name
    std::string positive;       // "up", "down" or empty, from the coordinate variable

    bool has_coordinates() const { return !values.empty(); }
    // The coordinate at `index` (0 <= index < extent), or the index itself without coordinates.
    double coordinate(std::int64_t index) const;
    // True when `positive` says the axis grows downwards, as depth does.
    bool positive_down() const;
};

// A variable whose values became components.
struct GridVariable {
    std::string name;
    std::string long_name; // or else its standard_name; may be empty
    std::string units;     // may be empty
};

struct GridDescription {
    std::string file;   // the path that was opened
    std::string format; // "grid text", "netCDF classic", "netCDF 64-bit offset", "CDF-5",
                        // "netCDF-4"; empty when nothing was imported

    // One entry per variable read: with several variables, component c comes from variables[c];
    // with a components dimension there is one variable and component c is its index c along
    // `components`.
    std::vector<GridVariable> variables;
    GridAxis axes[3]; // x, y, z
    GridAxis components;
    bool components_from_dimension() const { return !components.name.empty(); }

    // Samples written as missing (-9999): fill values, missing_value, values outside the valid
    // range, NaN, and values beyond the range of float32.
    std::int64_t missing_count = 0;
    // Valid samples at or below -100: the rest of the program reads them as missing.
    std::int64_t low_value_count = 0;

    // The description as lines for a text area, for example
    // "x: XAXLEVITR 20.5..379.5 degrees_east". Empty for a grid text file.
    std::vector<std::string> lines() const;
    // The warning about low values, or empty when there are none.
    std::string low_value_notice() const;
};
