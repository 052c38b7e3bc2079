#include "netcdf_choice.h"

#include "shown_path.h"

#include "c_locale.h"
#include "grid_size.h"

#include <climits>

namespace {

// One output block holds the components of at least one grid point (see netcdf_reader.h).
constexpr std::int64_t max_components = std::int64_t{1} << 21;

std::string quoted(const std::string& file) {
    return "\"" + shown_path(file) + "\"";
}

std::string candidate_lines(const std::vector<VariableCandidate>& candidates) {
    std::string lines;
    for (const VariableCandidate& c : candidates)
        lines += "\n  " + c.text();
    return lines;
}

std::string variable_names(const NetcdfCatalog& catalog) {
    std::string names;
    for (const NetcdfVariable& v : catalog.variables)
        names += (names.empty() ? "" : ", ") + v.name;
    return names.empty() ? "none" : names;
}

// The message for a file whose grid must be named, listing what could be named.
std::string ask_for_var(const std::string& file, const NetcdfCatalog& catalog,
                        const std::vector<VariableCandidate>& candidates) {
    if (candidates.size() > 1)
        return "ERROR: " + quoted(file) +
               " holds several variables that could be the grid; name one with --var (and, "
               "for one of four dimensions, the dimension that gives the components with "
               "--components):" +
               candidate_lines(candidates);
    std::vector<VariableCandidate> numeric;
    for (const NetcdfVariable& v : catalog.variables)
        if (v.numeric && !v.dims.empty())
            numeric.push_back(catalog.candidate(v));
    std::string message =
        "ERROR: " + quoted(file) + " holds no variable of three or more dimensions";
    if (numeric.empty())
        return message + " and no numeric variable to read as a grid";
    return message + "; name the variable to read with --var:" + candidate_lines(numeric);
}

} // namespace

std::vector<VariableCandidate> grid_candidates(const NetcdfCatalog& catalog) {
    std::vector<VariableCandidate> candidates;
    for (const NetcdfVariable& v : catalog.variables)
        if (v.numeric && v.dims.size() >= 3)
            candidates.push_back(catalog.candidate(v));
    return candidates;
}

std::string plan_grid(const std::string& file, const NetcdfCatalog& catalog,
                      const VariableChoice& requested, ImportPrompts& prompts, GridPlan& plan) {
    const std::string in_file = "ERROR: " + quoted(file) + ": ";
    VariableChoice choice = requested;
    if (choice.variables.empty()) {
        const std::vector<VariableCandidate> candidates = grid_candidates(catalog);
        // A lone variable of four dimensions still needs the dimension of its components:
        // the person is asked (a batch run, which cannot ask, refuses below and says what to
        // add).
        const bool needs_dimension = candidates.size() == 1 &&
                                     candidates[0].dimension_names.size() == 4 &&
                                     requested.components_dimension.empty();
        if (needs_dimension) {
            VariableChoice asked;
            if (prompts.choose_variables(file, candidates, asked) && !asked.variables.empty())
                choice = asked;
            else
                choice.variables = {candidates[0].name};
        } else if (candidates.size() == 1) {
            choice.variables = {candidates[0].name};
        } else {
            VariableChoice asked;
            asked.components_dimension = requested.components_dimension;
            if (candidates.empty() || !prompts.choose_variables(file, candidates, asked) ||
                asked.variables.empty())
                return ask_for_var(file, catalog, candidates);
            choice = asked;
        }
    }

    GridPlan p;
    for (const std::string& name : choice.variables) {
        const int index = catalog.find(name);
        if (index < 0)
            return "ERROR: " + quoted(file) + " has no variable named \"" + name +
                   "\"; its variables: " + variable_names(catalog);
        const NetcdfVariable& v = catalog.variables[index];
        if (v.text)
            return in_file + "variable " + name + " holds text (" + v.type_name + "), not numbers";
        if (!v.numeric)
            return in_file + "variable " + name + " is of type " + v.type_name +
                   ", which holds no plain numbers";
        p.variables.push_back(index);
    }
    const NetcdfVariable& first = catalog.variables[p.variables[0]];
    const bool by_dimension = !choice.components_dimension.empty();
    if (by_dimension && p.variables.size() > 1)
        return in_file + "--components takes the components from one variable, but --var names " +
               std::to_string(p.variables.size());
    for (const int index : p.variables) {
        const NetcdfVariable& v = catalog.variables[index];
        bool same = v.dims.size() == first.dims.size();
        for (std::size_t k = 0; same && k < v.dims.size(); ++k)
            same = catalog.dimensions[v.dims[k]].length == catalog.dimensions[first.dims[k]].length;
        if (!same)
            return in_file + "variables " + first.name + "(" + catalog.dimensions_text(first) +
                   ") and " + v.name + "(" + catalog.dimensions_text(v) +
                   ") differ in shape; the variables that give the components must have the "
                   "same dimensions";
    }

    const auto rank = static_cast<int>(first.dims.size());
    const std::string shape = "(" + catalog.dimensions_text(first) + ")";
    if (rank == 0)
        return in_file + "variable " + first.name + " has no dimensions, so it holds no grid";
    if (rank > 4)
        return in_file + "variable " + first.name + " has " + std::to_string(rank) +
               " dimensions " + shape +
               "; at most four can be read: three for the grid and one for the components "
               "(--components). Name a variable of at most four dimensions with --var";
    if (by_dimension) {
        for (int k = 0; k < rank; ++k)
            if (catalog.dimensions[first.dims[k]].name == choice.components_dimension)
                p.components_position = k;
        if (p.components_position < 0)
            return in_file + "variable " + first.name + " has no dimension named \"" +
                   choice.components_dimension +
                   "\"; its dimensions: " + catalog.dimensions_text(first);
    } else if (rank == 4) {
        return in_file + "variable " + first.name + " has four dimensions " + shape +
               "; add --components with the one whose indices become the components, for "
               "example --components " +
               catalog.dimensions[first.dims[0]].name;
    }

    for (int k = 0; k < rank; ++k)
        if (catalog.dimensions[first.dims[k]].length == 0)
            return in_file + "variable " + first.name + " holds no values: its dimension " +
                   catalog.dimensions[first.dims[k]].name + " has length 0";
    // The dimensions other than the components' are z, y, x, the last one varying fastest.
    int axis = 0;
    for (int k = rank - 1; k >= 0; --k) {
        if (k == p.components_position)
            continue;
        const NetcdfDimension& d = catalog.dimensions[first.dims[k]];
        if (d.length > INT_MAX)
            return in_file + "dimension " + d.name + " of variable " + first.name + " has " +
                   std::to_string(d.length) + " points; at most " + std::to_string(INT_MAX) +
                   " can be read along one axis";
        p.axis_position[axis] = k;
        p.extent[axis] = d.length;
        ++axis;
    }
    p.ncomp = by_dimension ? catalog.dimensions[first.dims[p.components_position]].length
                           : static_cast<std::int64_t>(p.variables.size());
    if (p.ncomp > max_components)
        return in_file + format_c("the grid would have %lld components per point; at most %lld "
                                  "can be read",
                                  static_cast<long long>(p.ncomp),
                                  static_cast<long long>(max_components));
    if (grid_byte_count(p.extent[0], p.extent[1], p.extent[2], 4 * p.ncomp) == 0)
        return in_file + "variable " + first.name + " " + shape +
               " holds more samples than can be counted";
    plan = p;
    return {};
}
