#include "grid_variables.h"

std::string VariableCandidate::text() const {
    std::string t = name + "(";
    for (std::size_t i = 0; i < dimension_names.size(); ++i)
        t += (i ? ", " : "") + dimension_names[i] + "=" + std::to_string(dimension_sizes[i]);
    t += ")";
    if (!long_name.empty())
        t += " \"" + long_name + "\"";
    if (!units.empty())
        t += " " + units;
    return t;
}

bool parse_variable_list(const std::string& text, std::vector<std::string>& names) {
    std::vector<std::string> found;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string name = text.substr(start, comma - start);
        if (name.empty())
            return false;
        found.push_back(name);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    names = found;
    return true;
}
