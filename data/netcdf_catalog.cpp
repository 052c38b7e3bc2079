#include "netcdf_catalog.h"

#include "message_buffer.h"

int NetcdfCatalog::find(const std::string& name) const {
    for (std::size_t i = 0; i < variables.size(); ++i)
        if (variables[i].name == name)
            return static_cast<int>(i);
    return -1;
}

VariableCandidate NetcdfCatalog::candidate(const NetcdfVariable& v) const {
    VariableCandidate c;
    c.name = v.name;
    for (const int d : v.dims) {
        c.dimension_names.push_back(dimensions[d].name);
        c.dimension_sizes.push_back(dimensions[d].length);
    }
    c.long_name = v.long_name;
    c.units = v.units;
    return c;
}

std::string NetcdfCatalog::dimensions_text(const NetcdfVariable& v) const {
    std::string t;
    for (std::size_t i = 0; i < v.dims.size(); ++i)
        t += (i ? ", " : "") + dimensions[v.dims[i]].name + "=" +
             std::to_string(dimensions[v.dims[i]].length);
    return t;
}

void NetcdfCatalog::write(MessageOut& out) const {
    out.str(format);
    out.i64(static_cast<std::int64_t>(dimensions.size()));
    for (const NetcdfDimension& d : dimensions) {
        out.str(d.name);
        out.i64(d.length);
        out.i64(d.unlimited);
    }
    out.i64(static_cast<std::int64_t>(variables.size()));
    for (const NetcdfVariable& v : variables) {
        out.str(v.name);
        out.i64(v.varid);
        out.str(v.type_name);
        out.i64(v.numeric);
        out.i64(v.text);
        out.i64(static_cast<std::int64_t>(v.dims.size()));
        for (const int d : v.dims)
            out.i64(d);
        out.str(v.long_name);
        out.str(v.units);
    }
}

bool NetcdfCatalog::read(MessageIn& in) {
    format = in.str();
    dimensions.clear();
    variables.clear();
    const std::int64_t ndims = in.i64();
    for (std::int64_t i = 0; i < ndims && in.ok(); ++i) {
        NetcdfDimension d;
        d.name = in.str();
        d.length = in.i64();
        d.unlimited = in.i64() != 0;
        if (d.length < 0)
            return false;
        dimensions.push_back(d);
    }
    const std::int64_t nvars = in.i64();
    for (std::int64_t i = 0; i < nvars && in.ok(); ++i) {
        NetcdfVariable v;
        v.name = in.str();
        v.varid = static_cast<int>(in.i64());
        v.type_name = in.str();
        v.numeric = in.i64() != 0;
        v.text = in.i64() != 0;
        const std::int64_t rank = in.i64();
        for (std::int64_t k = 0; k < rank && in.ok(); ++k) {
            const std::int64_t d = in.i64();
            if (d < 0 || d >= static_cast<std::int64_t>(dimensions.size()))
                return false;
            v.dims.push_back(static_cast<int>(d));
        }
        v.long_name = in.str();
        v.units = in.str();
        variables.push_back(v);
    }
    return in.ok();
}

void GridPlan::write(MessageOut& out) const {
    out.i64(static_cast<std::int64_t>(variables.size()));
    for (const int v : variables)
        out.i64(v);
    out.i64(components_position);
    for (int a = 0; a < 3; ++a) {
        out.i64(axis_position[a]);
        out.i64(extent[a]);
    }
    out.i64(ncomp);
}

bool GridPlan::read(MessageIn& in, const NetcdfCatalog& catalog) {
    variables.clear();
    const std::int64_t n = in.i64();
    for (std::int64_t i = 0; i < n && in.ok(); ++i) {
        const std::int64_t v = in.i64();
        if (v < 0 || v >= static_cast<std::int64_t>(catalog.variables.size()))
            return false;
        variables.push_back(static_cast<int>(v));
    }
    components_position = static_cast<int>(in.i64());
    for (int a = 0; a < 3; ++a) {
        axis_position[a] = static_cast<int>(in.i64());
        extent[a] = in.i64();
    }
    ncomp = in.i64();
    if (!in.ok() || variables.empty())
        return false;
    // Every position names a dimension of the first variable, each at most once.
    const auto rank = static_cast<int>(catalog.variables[variables[0]].dims.size());
    if (rank > 4)
        return false;
    int seen = 0;
    for (const int p : {axis_position[0], axis_position[1], axis_position[2], components_position})
        if (p >= 0) {
            if (p >= rank || (seen & (1 << p)))
                return false;
            seen |= 1 << p;
        }
    return ncomp > 0;
}

void write_axis_coordinates(MessageOut& out, const GridAxis& axis) {
    out.f64s(axis.values.data(), axis.values.size());
    out.str(axis.units);
    out.str(axis.long_name);
    out.str(axis.positive);
}

void read_axis_coordinates(MessageIn& in, GridAxis& axis) {
    axis.values = in.f64s();
    axis.units = in.str();
    axis.long_name = in.str();
    axis.positive = in.str();
}
