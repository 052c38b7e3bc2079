#pragma once

#include <gtest/gtest.h>
#include <netcdf.h>
#include <string>
#include <vector>

// Writes NetCDF files for the tests through the library itself. Every call is checked.
class NcFile {
public:
    // mode: NC_CLOBBER alone (classic), | NC_64BIT_OFFSET, | NC_64BIT_DATA or | NC_NETCDF4.
    NcFile(const std::string& path, int mode) {
        EXPECT_EQ(nc_create(path.c_str(), mode, &id_), NC_NOERR);
    }
    ~NcFile() { close(); }

    int dim(const char* name, std::size_t length) {
        int d = -1;
        EXPECT_EQ(nc_def_dim(id_, name, length, &d), NC_NOERR) << name;
        return d;
    }
    int var(const char* name, nc_type type, const std::vector<int>& dims) {
        int v = -1;
        EXPECT_EQ(nc_def_var(id_, name, type, static_cast<int>(dims.size()), dims.data(), &v),
                  NC_NOERR)
            << name;
        return v;
    }
    void text(int var, const char* name, const std::string& value) {
        EXPECT_EQ(nc_put_att_text(id_, var, name, value.size(), value.data()), NC_NOERR) << name;
    }
    void numbers(int var, const char* name, nc_type type, const std::vector<double>& values) {
        EXPECT_EQ(nc_put_att_double(id_, var, name, type, values.size(), values.data()), NC_NOERR)
            << name;
    }
    // Values not written are left as they happen to be on disk (classic formats).
    void no_fill() {
        int old = 0;
        EXPECT_EQ(nc_set_fill(id_, NC_NOFILL, &old), NC_NOERR);
    }
    // Leaves define mode; the values are then written with put().
    void end_definitions() { EXPECT_EQ(nc_enddef(id_), NC_NOERR); }
    // All values of `var`, converted by the library from double to its type.
    void put(int var, const std::vector<double>& values) {
        const int s = nc_put_var_double(id_, var, values.data());
        EXPECT_TRUE(s == NC_NOERR || s == NC_ERANGE) << nc_strerror(s);
    }
    // Part of `var`: the box at `start` of `count` values.
    void put(int var, const std::vector<std::size_t>& start, const std::vector<std::size_t>& count,
             const std::vector<double>& values) {
        EXPECT_EQ(nc_put_vara_double(id_, var, start.data(), count.data(), values.data()),
                  NC_NOERR);
    }
    int id() const { return id_; }
    void close() {
        if (id_ >= 0) {
            EXPECT_EQ(nc_close(id_), NC_NOERR);
        }
        id_ = -1;
    }

private:
    int id_ = -1;
};

// The formats the import reads, for tests that run on each.
inline const std::vector<std::pair<const char*, int>>& all_formats() {
    static const std::vector<std::pair<const char*, int>> formats = {
        {"netCDF classic", NC_CLOBBER},
        {"netCDF 64-bit offset", NC_CLOBBER | NC_64BIT_OFFSET},
        {"CDF-5", NC_CLOBBER | NC_64BIT_DATA},
        {"netCDF-4", NC_CLOBBER | NC_NETCDF4}};
    return formats;
}
