// NetCDF files that cannot be read: each is refused with one message that names the file and
// the reason, the loaded grid and an existing intermediate file stay as they were, and nothing
// brings the caller down, whatever the library does with the file.
#include "grid_import.h"
#include "netcdf_files.h"
#include "netcdf_import.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace {

const std::vector<unsigned char> old_bytes = {'o', 'l', 'd'};

// A grid already loaded (4 samples, 1 to 4) and "old" in the intermediate file of the next.
struct Loaded {
    TempDir dir;
    Volume data, colour;
    explicit Loaded(const std::string& next_name) {
        ScriptedPrompts p;
        EXPECT_TRUE(import_grid(dir.write("first.txt", "1 2 2 1\n  0 0 0 1\n  0 0 0 2\n"
                                                       "  0 0 0 3\n  0 0 0 4\n"),
                                data, colour, p)
                        .ok);
        dir.write(next_name + ".dat", "old");
    }
    // Imports `path`; expects a refusal with exactly one message, and everything unchanged.
    std::string refused(const std::string& path, const ImportOptions& options = {}) {
        ScriptedPrompts p;
        const ImportResult r = import_grid(path, data, colour, p, options);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(p.messages, std::vector<std::string>{r.error});
        EXPECT_EQ(read_bytes(path + ".dat"), old_bytes);
        EXPECT_EQ(data.nx, 2);
        EXPECT_EQ(data.max_value(), 4.0);
        EXPECT_EQ(colour.nx, 2);
        return r.error;
    }
};

std::vector<unsigned char> small_grid(const std::string& path, int mode) {
    {
        NcFile f(path, mode);
        const int z = f.dim("z", 3), y = f.dim("y", 20), x = f.dim("x", 30);
        const int v = f.var("T", NC_SHORT, {z, y, x});
        f.numbers(v, "scale_factor", NC_FLOAT, {0.01});
        f.numbers(v, "_FillValue", NC_SHORT, {-999});
        f.end_definitions();
        std::vector<double> values(3 * 20 * 30);
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<double>(i % 700) - 50;
        f.put(v, values);
    }
    return read_bytes(path);
}

void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

} // namespace

TEST(NetcdfBadFiles, truncated_files_and_wrong_signatures) {
    Loaded l("g.nc");
    const std::string path = l.dir.file("g.nc");
    const std::string named = "ERROR: \"" + path + "\" ";

    std::vector<unsigned char> classic = small_grid(path, NC_CLOBBER);
    const std::size_t full = classic.size();
    classic.resize(full - 2);
    write_bytes(path, classic);
    EXPECT_EQ(l.refused(path), named + "is truncated: the values of T end at byte " +
                                   std::to_string(full) + ", but the file has only " +
                                   std::to_string(full - 2) + " bytes");

    std::vector<unsigned char> hdf5 = small_grid(path, NC_CLOBBER | NC_NETCDF4);
    hdf5.resize(hdf5.size() * 2 / 3);
    write_bytes(path, hdf5);
    EXPECT_EQ(l.refused(path), named + "has a damaged or cut HDF5 layer (NetCDF: HDF error)");

    l.dir.write("g.nc", "2 2 2 1\n  0 0 0 1\n");
    EXPECT_EQ(l.refused(path),
              named + "is not a NetCDF file: it does not begin with a NetCDF or HDF5 signature");
    l.dir.write("g.nc", "CDF");
    EXPECT_EQ(l.refused(path),
              named + "is not a NetCDF file: it does not begin with a NetCDF or HDF5 signature");
    l.dir.write("g.nc", "CDF\x01");
    EXPECT_EQ(l.refused(path), named + "has a damaged header");
    // A file whose first bytes are a signature is NetCDF whatever its name.
    const std::string other = l.dir.file("grid.txt");
    std::filesystem::rename(path, other);
    EXPECT_TRUE(is_netcdf_grid(other));
    EXPECT_TRUE(is_netcdf_grid(l.dir.file("NEW.NC4")));
    EXPECT_FALSE(is_netcdf_grid(l.dir.file("first.txt")));
}

TEST(NetcdfBadFiles, empty_dimensions_strings_and_sizes_beyond_bounds) {
    Loaded l("g.nc");
    const std::string path = l.dir.file("g.nc");
    const std::string in_file = "ERROR: \"" + path + "\": ";
    {
        NcFile f(path, NC_CLOBBER | NC_NETCDF4);
        const int z = f.dim("z", 2), y = f.dim("y", 0), x = f.dim("x", 2), t = f.dim("t", 0);
        f.var("EMPTY", NC_FLOAT, {z, y, x});
        f.var("LATER", NC_FLOAT, {t, z, x});
        f.var("NAMES", NC_STRING, {z, x, x});
    }
    EXPECT_EQ(l.refused(path,
                        [] {
                            ImportOptions o;
                            o.variables = {"EMPTY"};
                            return o;
                        }()),
              in_file + "variable EMPTY holds no values: its dimension y has length 0");
    ImportOptions later;
    later.variables = {"LATER"};
    EXPECT_EQ(l.refused(path, later),
              in_file + "variable LATER holds no values: its dimension t has length 0");
    ImportOptions names;
    names.variables = {"NAMES"};
    EXPECT_EQ(l.refused(path, names), in_file + "variable NAMES holds text (string), not numbers");

    // Sizes only declared: the files hold none of these values.
    {
        NcFile f(path, NC_CLOBBER | NC_NETCDF4);
        const int a = f.dim("a", 2000000000), b = f.dim("b", 2000000000),
                  c = f.dim("c", 2000000000);
        const int v = f.var("HUGE", NC_BYTE, {a, b, c});
        const std::size_t chunks[] = {1, 1, 1024};
        EXPECT_EQ(nc_def_var_chunking(f.id(), v, NC_CHUNKED, chunks), NC_NOERR);
    }
    ImportOptions huge;
    huge.variables = {"HUGE"};
    EXPECT_EQ(l.refused(path, huge),
              in_file +
                  "variable HUGE (a=2000000000, b=2000000000, c=2000000000) holds more samples "
                  "than can be counted");
    {
        NcFile f(path, NC_CLOBBER | NC_64BIT_DATA);
        f.no_fill();
        const int a = f.dim("a", 2000000000), w = f.dim("w", 3000000000), one = f.dim("one", 1);
        f.var("LONG", NC_BYTE, {one, one, w});
        f.var("BIG", NC_BYTE, {one, a, one});
    }
    ImportOptions wide;
    wide.variables = {"LONG"};
    EXPECT_EQ(l.refused(path, wide), in_file + "dimension w of variable LONG has 3000000000 "
                                               "points; at most 2147483647 can be read along one "
                                               "axis");
    ImportOptions bounded;
    bounded.variables = {"BIG"};
    bounded.memory_limit_bytes = std::int64_t{8} << 30;
    EXPECT_EQ(l.refused(path, bounded),
              "ERROR: \"" + path +
                  "\" cannot be read within the memory bound: its 1 x 2000000000 x 1 grid with 1 "
                  "component needs 15322 MiB (its samples twice and 64 MiB), more than the 8192 "
                  "MiB there are");
}

TEST(NetcdfBadFiles, damaged_files_fail_only_the_import) {
    Loaded l("g.nc");
    const std::string path = l.dir.file("g.nc");
    // A classic header that claims about 900 million variables would end the library with a
    // fault; it is refused before the library reads it.
    std::vector<unsigned char> bytes = small_grid(path, NC_CLOBBER);
    const unsigned char variable_list[] = {0, 0, 0, 0x0b, 0, 0, 0, 1};
    const auto at =
        std::search(bytes.begin(), bytes.end(), std::begin(variable_list), std::end(variable_list));
    ASSERT_NE(at, bytes.end());
    at[4] = 0x36;
    write_bytes(path, bytes);
    EXPECT_EQ(l.refused(path), "ERROR: \"" + path + "\" has a damaged header");

    // Damaged copies of netCDF-4 and classic files: each is imported or refused with a message;
    // either way the caller goes on.
    std::mt19937 random(19);
    ImportOptions options;
    options.reader_timeout_ms = 3000;
    for (const int mode : {NC_CLOBBER | NC_NETCDF4, NC_CLOBBER}) {
        const std::vector<unsigned char> good = small_grid(path, mode);
        for (int i = 0; i < 40; ++i) {
            std::vector<unsigned char> damaged = good;
            for (int k = 0; k < 4; ++k)
                damaged[random() % damaged.size()] = static_cast<unsigned char>(random());
            write_bytes(path, damaged);
            Volume data, colour;
            ScriptedPrompts p;
            const ImportResult r = import_grid(path, data, colour, p, options);
            if (r.ok)
                EXPECT_EQ(data.sample_count(), 3 * 20 * 30);
            else
                EXPECT_EQ(r.error.rfind("ERROR: \"" + path + "\" ", 0), 0u) << r.error;
        }
    }
}
