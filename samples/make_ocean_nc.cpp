// Writes the ocean field (see ocean_field.h) as a netCDF-4 file, the way climatologies are
// published: TEMP(TIME, DEPTH, LAT, LON) packed into shorts with scale_factor, _FillValue
// where there is no water, and coordinate variables with units. The two seasons are the two
// steps of TIME. Each packed value is the number the grid text file holds (two decimals), so
// both files give the same samples.
#include "ocean_field.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netcdf.h>
#include <vector>

namespace {

constexpr short fill = -32767;
constexpr double scale = 0.01;

bool ok(int status, const char* what) {
    if (status != NC_NOERR)
        std::fprintf(stderr, "%s: %s\n", what, nc_strerror(status));
    return status == NC_NOERR;
}

// The value in hundredths, as the text file prints it with "%.2f".
short packed(double t) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", t);
    return static_cast<short>(std::lround(std::strtod(text, nullptr) * 100.0));
}

bool put_text(int id, int var, const char* name, const char* value) {
    return ok(nc_put_att_text(id, var, name, std::strlen(value), value), name);
}

} // namespace

int main(int argc, char** argv) {
    using namespace ocean;
    if (argc != 2 || argv[1][0] == '-') { // --help and the like name no file to write
        std::fprintf(stderr, "usage: %s OUTPUT.nc\n", argv[0]);
        return 2;
    }
    int id, dims[4], time, depth, lat, lon, temp;
    if (!ok(nc_create(argv[1], NC_CLOBBER | NC_NETCDF4, &id), argv[1]))
        return 1;
    bool good =
        ok(nc_def_dim(id, "TIME", 2, &dims[0]), "TIME") &&
        ok(nc_def_dim(id, "DEPTH", nz, &dims[1]), "DEPTH") &&
        ok(nc_def_dim(id, "LAT", ny, &dims[2]), "LAT") &&
        ok(nc_def_dim(id, "LON", nx, &dims[3]), "LON") &&
        ok(nc_def_var(id, "TIME", NC_DOUBLE, 1, &dims[0], &time), "TIME") &&
        put_text(id, time, "units", "days since 2001-01-01 00:00:00") &&
        put_text(id, time, "long_name", "middle of the season") &&
        ok(nc_def_var(id, "DEPTH", NC_FLOAT, 1, &dims[1], &depth), "DEPTH") &&
        put_text(id, depth, "units", "m") && put_text(id, depth, "positive", "down") &&
        put_text(id, depth, "long_name", "depth") &&
        ok(nc_def_var(id, "LAT", NC_FLOAT, 1, &dims[2], &lat), "LAT") &&
        put_text(id, lat, "units", "degrees_north") &&
        ok(nc_def_var(id, "LON", NC_FLOAT, 1, &dims[3], &lon), "LON") &&
        put_text(id, lon, "units", "degrees_east") &&
        ok(nc_def_var(id, "TEMP", NC_SHORT, 4, dims, &temp), "TEMP") &&
        put_text(id, temp, "long_name", "sea water temperature") &&
        put_text(id, temp, "standard_name", "sea_water_temperature") &&
        put_text(id, temp, "units", "degC") &&
        ok(nc_def_var_fill(id, temp, NC_FILL, &fill), "_FillValue") &&
        ok(nc_put_att_double(id, temp, "scale_factor", NC_DOUBLE, 1, &scale), "scale_factor");
    const std::size_t chunks[4] = {1, 4, ny, nx};
    good = good && ok(nc_def_var_chunking(id, temp, NC_CHUNKED, chunks), "chunking") &&
           ok(nc_def_var_deflate(id, temp, 1, 1, 4), "deflate") && ok(nc_enddef(id), "enddef");

    const double seasons[2] = {45.5, 227.5};
    std::vector<float> depths(nz), lats(ny), lons(nx);
    for (int z = 0; z < nz; ++z)
        depths[z] = 100.0f * (nz - 1 - z); // the first plane is the deepest
    for (int y = 0; y < ny; ++y)
        lats[y] = -89.0f + 2.0f * y;
    for (int x = 0; x < nx; ++x)
        lons[x] = 1.0f + 2.0f * x;
    std::vector<short> values(2 * nz * ny * nx);
    for (int s = 0; s < 2; ++s)
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y)
                for (int x = 0; x < nx; ++x)
                    values[((s * nz + z) * ny + y) * nx + x] =
                        wet(x, y, z) ? packed(temperature(y, z, s == 0 ? -1.0 : 1.0)) : fill;
    good = good && ok(nc_put_var_double(id, time, seasons), "TIME") &&
           ok(nc_put_var_float(id, depth, depths.data()), "DEPTH") &&
           ok(nc_put_var_float(id, lat, lats.data()), "LAT") &&
           ok(nc_put_var_float(id, lon, lons.data()), "LON") &&
           ok(nc_put_var_short(id, temp, values.data()), "TEMP");
    good = ok(nc_close(id), argv[1]) && good;
    if (!good)
        std::remove(argv[1]);
    return good ? 0 : 1;
}
