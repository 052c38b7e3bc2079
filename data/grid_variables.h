#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A variable of a NetCDF file that could become the grid: what a chooser lists for it.
struct VariableCandidate {
    std::string name;
    std::vector<std::string> dimension_names; // in storage order, slowest first
    std::vector<std::int64_t> dimension_sizes;
    std::string long_name; // or else its standard_name; may be empty
    std::string units;     // may be empty

    // One line: SST(TIME=2, DEPTH=12, LAT=90, LON=180) "sea water temperature" degC
    std::string text() const;
};

// Which data of a NetCDF file becomes the grid: one or more variables of the same shape (one
// component each), or one variable and the dimension whose indices become the components.
struct VariableChoice {
    std::vector<std::string> variables;
    std::string components_dimension; // empty: none
};

// Splits "SST,AIRT" into its names. False for an empty list or an empty name.
bool parse_variable_list(const std::string& text, std::vector<std::string>& names);
