#pragma once

#include "grid_description.h"
#include "grid_variables.h"

#include <cstdint>
#include <string>
#include <vector>

class MessageIn;
class MessageOut;

// What a NetCDF file holds, as far as choosing a grid needs it: its dimensions and its
// variables (those of the root group). Read by the reader process, used by the import.
struct NetcdfDimension {
    std::string name;
    std::int64_t length = 0;
    bool unlimited = false;
};

struct NetcdfVariable {
    std::string name;
    int varid = -1;
    std::string type_name; // "float", "short", "char", "string", or a user type's name
    bool numeric = false;  // an integer or floating type, signed or unsigned
    bool text = false;     // char or string
    std::vector<int> dims; // indices into NetcdfCatalog::dimensions, slowest first
    std::string long_name; // or else its standard_name
    std::string units;
};

struct NetcdfCatalog {
    std::string format; // as GridDescription::format
    std::vector<NetcdfDimension> dimensions;
    std::vector<NetcdfVariable> variables;

    // Index of the variable named `name`, or -1.
    int find(const std::string& name) const;
    VariableCandidate candidate(const NetcdfVariable& v) const;
    // "TIME=2, DEPTH=12, LAT=90, LON=180"
    std::string dimensions_text(const NetcdfVariable& v) const;

    void write(MessageOut& out) const;
    bool read(MessageIn& in); // false for a cut or inconsistent message
};

// Which data becomes the grid, decided from the catalog: the reader process reads exactly this.
struct GridPlan {
    std::vector<int> variables; // indices into the catalog: one per component, or one
    // Position, among the variable's dimensions, of the dimension that gives the components;
    // -1 when the components are the variables.
    int components_position = -1;
    // Position among the variable's dimensions of x, y and z; -1 for an axis it does not have.
    int axis_position[3] = {-1, -1, -1};
    std::int64_t extent[3] = {1, 1, 1}; // nx, ny, nz
    std::int64_t ncomp = 0;

    void write(MessageOut& out) const;
    bool read(MessageIn& in, const NetcdfCatalog& catalog); // false unless consistent with it
};

// The coordinates of one axis, read by the reader process (GridAxis without name and extent).
void write_axis_coordinates(MessageOut& out, const GridAxis& axis);
void read_axis_coordinates(MessageIn& in, GridAxis& axis);
