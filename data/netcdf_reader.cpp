#include "netcdf_reader.h"

#include "c_locale.h"

#include "netcdf_api.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <netcdf.h>
#include <strings.h>

namespace {

// Text attributes are kept up to this length (they are shown, not parsed).
constexpr std::size_t max_text_attribute = 4096;
bool stored_type_of(nc_type type, StoredType& stored) {
    switch (type) {
    case NC_BYTE:
        stored = StoredType::int8;
        return true;
    case NC_UBYTE:
        stored = StoredType::uint8;
        return true;
    case NC_SHORT:
        stored = StoredType::int16;
        return true;
    case NC_USHORT:
        stored = StoredType::uint16;
        return true;
    case NC_INT:
        stored = StoredType::int32;
        return true;
    case NC_UINT:
        stored = StoredType::uint32;
        return true;
    case NC_INT64:
        stored = StoredType::int64;
        return true;
    case NC_UINT64:
        stored = StoredType::uint64;
        return true;
    case NC_FLOAT:
        stored = StoredType::float32;
        return true;
    case NC_DOUBLE:
        stored = StoredType::float64;
        return true;
    default:
        return false;
    }
}

// The attribute as text (char or string); empty when it is missing or of another type.
std::string text_attribute(int ncid, int varid, const char* name) {
    nc_type type = NC_NAT;
    std::size_t length = 0;
    if (netcdf().inq_att(ncid, varid, name, &type, &length) != NC_NOERR)
        return {};
    if (type == NC_CHAR) {
        std::string s(length, '\0');
        if (netcdf().get_att_text(ncid, varid, name, s.data()) != NC_NOERR)
            return {};
        s.resize(std::min(std::strlen(s.c_str()), max_text_attribute));
        return s;
    }
    if (type == NC_STRING && length >= 1) {
        std::vector<char*> strings(length, nullptr);
        if (netcdf().get_att_string(ncid, varid, name, strings.data()) != NC_NOERR)
            return {};
        std::string s = strings[0] ? strings[0] : "";
        netcdf().free_string(length, strings.data());
        s.resize(std::min(s.size(), max_text_attribute));
        return s;
    }
    return {};
}

std::string long_name_of(int ncid, int varid) {
    const std::string name = text_attribute(ncid, varid, "long_name");
    return name.empty() ? text_attribute(ncid, varid, "standard_name") : name;
}

bool is_numeric(nc_type type) {
    StoredType ignored;
    return stored_type_of(type, ignored);
}

// The numeric attribute's values as doubles; empty when it is missing or not numeric.
std::vector<double> number_attribute(int ncid, int varid, const char* name, nc_type& type) {
    std::size_t length = 0;
    type = NC_NAT;
    if (netcdf().inq_att(ncid, varid, name, &type, &length) != NC_NOERR || !is_numeric(type) ||
        length == 0)
        return {};
    std::vector<double> values(length);
    if (netcdf().get_att_double(ncid, varid, name, values.data()) != NC_NOERR)
        return {};
    return values;
}

nc_type unsigned_of(nc_type type) {
    switch (type) {
    case NC_BYTE:
        return NC_UBYTE;
    case NC_SHORT:
        return NC_USHORT;
    case NC_INT:
        return NC_UINT;
    case NC_INT64:
        return NC_UINT64;
    default:
        return type;
    }
}

// A value of the signed type `type` read as its unsigned counterpart (_Unsigned = "true").
double as_unsigned(double v, nc_type type) {
    if (v >= 0)
        return v;
    switch (type) {
    case NC_BYTE:
        return v + 256.0;
    case NC_SHORT:
        return v + 65536.0;
    case NC_INT:
        return v + 4294967296.0;
    case NC_INT64:
        return v + 18446744073709551616.0;
    default:
        return v;
    }
}

} // namespace

int open_netcdf(const std::string& path, const void* memory, std::int64_t size, int& ncid) {
    if (memory)
        return netcdf().open_mem(path.c_str(), NC_NOWRITE, static_cast<std::size_t>(size),
                                 const_cast<void*>(memory), &ncid);
    // A relative path that looks like a URL would be fetched over the network.
    const std::string local = !path.empty() && path[0] == '/' ? path : "./" + path;
    return netcdf().open(local.c_str(), NC_NOWRITE, &ncid);
}

std::string netcdf_status_text(int status) {
    return netcdf().strerror(status);
}

int read_catalog(int ncid, NetcdfCatalog& catalog) {
    catalog = {};
    int formatx = 0, mode = 0;
    if (int s = netcdf().inq_format_extended(ncid, &formatx, &mode); s != NC_NOERR)
        return s;
    if (formatx == NC_FORMATX_NC3)
        catalog.format = (mode & NC_64BIT_DATA)     ? "CDF-5"
                         : (mode & NC_64BIT_OFFSET) ? "netCDF 64-bit offset"
                                                    : "netCDF classic";
    else if (formatx == NC_FORMATX_NC_HDF5)
        catalog.format = "netCDF-4";
    else
        catalog.format = "NetCDF";

    int ndims = 0;
    if (int s = netcdf().inq_dimids(ncid, &ndims, nullptr, 0); s != NC_NOERR)
        return s;
    std::vector<int> dimids(static_cast<std::size_t>(std::max(ndims, 0)));
    if (int s = netcdf().inq_dimids(ncid, &ndims, dimids.data(), 0); s != NC_NOERR)
        return s;
    int nunlimited = 0;
    std::vector<int> unlimited;
    if (netcdf().inq_unlimdims(ncid, &nunlimited, nullptr) == NC_NOERR && nunlimited > 0) {
        unlimited.resize(static_cast<std::size_t>(nunlimited));
        netcdf().inq_unlimdims(ncid, &nunlimited, unlimited.data());
    }
    for (const int id : dimids) {
        char name[NC_MAX_NAME + 1] = {};
        std::size_t length = 0;
        if (int s = netcdf().inq_dim(ncid, id, name, &length); s != NC_NOERR)
            return s;
        NetcdfDimension d;
        d.name = name;
        d.length = length > static_cast<std::size_t>(INT64_MAX) ? INT64_MAX
                                                                : static_cast<std::int64_t>(length);
        d.unlimited = std::find(unlimited.begin(), unlimited.end(), id) != unlimited.end();
        catalog.dimensions.push_back(d);
    }

    int nvars = 0;
    if (int s = netcdf().inq_varids(ncid, &nvars, nullptr); s != NC_NOERR)
        return s;
    std::vector<int> varids(static_cast<std::size_t>(std::max(nvars, 0)));
    if (int s = netcdf().inq_varids(ncid, &nvars, varids.data()); s != NC_NOERR)
        return s;
    for (const int id : varids) {
        char name[NC_MAX_NAME + 1] = {};
        nc_type type = NC_NAT;
        int rank = 0;
        if (int s = netcdf().inq_var(ncid, id, name, &type, &rank, nullptr, nullptr); s != NC_NOERR)
            return s;
        std::vector<int> ids(static_cast<std::size_t>(std::max(rank, 0)));
        if (int s = netcdf().inq_vardimid(ncid, id, ids.data()); s != NC_NOERR)
            return s;
        NetcdfVariable v;
        v.name = name;
        v.varid = id;
        char type_name[NC_MAX_NAME + 1] = {};
        std::size_t type_size = 0;
        if (netcdf().inq_type(ncid, type, type_name, &type_size) == NC_NOERR)
            v.type_name = type_name;
        v.numeric = is_numeric(type);
        v.text = type == NC_CHAR || type == NC_STRING;
        bool known = true;
        for (const int d : ids) {
            const auto at = std::find(dimids.begin(), dimids.end(), d);
            known = known && at != dimids.end();
            if (known)
                v.dims.push_back(static_cast<int>(at - dimids.begin()));
        }
        if (!known)
            continue; // a dimension of another group: not a grid this import reads
        v.long_name = long_name_of(ncid, id);
        v.units = text_attribute(ncid, id, "units");
        catalog.variables.push_back(v);
    }
    return NC_NOERR;
}

void read_axis(int ncid, const NetcdfCatalog& catalog, int dimension, GridAxis& axis) {
    const NetcdfDimension& d = catalog.dimensions[dimension];
    const int index = catalog.find(d.name);
    if (index < 0)
        return;
    const NetcdfVariable& v = catalog.variables[index];
    if (!v.numeric || v.dims.size() != 1 || v.dims[0] != dimension)
        return;
    axis.units = text_attribute(ncid, v.varid, "units");
    axis.long_name = v.long_name;
    axis.positive = text_attribute(ncid, v.varid, "positive");
    if (d.length <= 0 || d.length > max_coordinate_values)
        return;
    std::vector<double> values(static_cast<std::size_t>(d.length));
    if (netcdf().get_var_double(ncid, v.varid, values.data()) != NC_NOERR)
        return;
    nc_type type;
    const std::vector<double> scale = number_attribute(ncid, v.varid, "scale_factor", type);
    const std::vector<double> offset = number_attribute(ncid, v.varid, "add_offset", type);
    for (double& x : values)
        x = x * (scale.empty() ? 1.0 : scale[0]) + (offset.empty() ? 0.0 : offset[0]);
    axis.values = std::move(values);
}

std::string read_value_rule(int ncid, int varid, ValueRule& rule) {
    rule = {};
    nc_type type = NC_NAT;
    if (int s = netcdf().inq_vartype(ncid, varid, &type); s != NC_NOERR)
        return netcdf_status_text(s);
    const bool is_unsigned =
        unsigned_of(type) != type &&
        strcasecmp(text_attribute(ncid, varid, "_Unsigned").c_str(), "true") == 0;
    const nc_type effective = is_unsigned ? unsigned_of(type) : type;
    if (!stored_type_of(effective, rule.type))
        return "its values are not numbers";
    // Values of an attribute of the variable's own (signed) type follow _Unsigned too.
    // The type as declared, before _Unsigned: the fill value comes in it.
    StoredType declared = rule.type;
    stored_type_of(type, declared);
    const auto as_read = [&](double v, nc_type attribute_type) {
        return is_unsigned && attribute_type == type ? as_unsigned(v, type) : v;
    };

    nc_type scale_type = NC_NAT, offset_type = NC_NAT;
    const std::vector<double> scale = number_attribute(ncid, varid, "scale_factor", scale_type);
    const std::vector<double> offset = number_attribute(ncid, varid, "add_offset", offset_type);
    rule.packed = !scale.empty() || !offset.empty();
    rule.scale = scale.empty() ? 1.0 : scale[0];
    rule.offset = offset.empty() ? 0.0 : offset[0];
    const nc_type unpacked_type = !scale.empty() ? scale_type : offset_type;

    nc_type fill_type = NC_NAT;
    const bool has_fill = !number_attribute(ncid, varid, "_FillValue", fill_type).empty();
    int no_fill = 0;
    unsigned char fill[8] = {};
    if (netcdf().inq_var_fill(ncid, varid, &no_fill, fill) == NC_NOERR && (has_fill || !no_fill))
        rule.add_missing(as_read(stored_value(declared, fill), type));
    nc_type missing_type = NC_NAT;
    for (const double m : number_attribute(ncid, varid, "missing_value", missing_type))
        rule.add_missing(as_read(m, missing_type));

    nc_type range_type = NC_NAT, min_type = NC_NAT, max_type = NC_NAT;
    const std::vector<double> range = number_attribute(ncid, varid, "valid_range", range_type);
    const std::vector<double> low = number_attribute(ncid, varid, "valid_min", min_type);
    const std::vector<double> high = number_attribute(ncid, varid, "valid_max", max_type);
    // Range attributes of the unpacked type (that of scale_factor) are in unpacked units.
    const auto unpacked_units = [&](nc_type t) {
        return rule.packed && t != type && t == unpacked_type;
    };
    if (range.size() >= 2) {
        rule.valid_min = as_read(range[0], range_type);
        rule.valid_max = as_read(range[1], range_type);
        rule.valid_unpacked = unpacked_units(range_type);
    } else {
        if (!low.empty())
            rule.valid_min = as_read(low[0], min_type);
        if (!high.empty())
            rule.valid_max = as_read(high[0], max_type);
        rule.valid_unpacked = unpacked_units(!low.empty() ? min_type : max_type);
    }
    return {};
}
