// NetCDF files written by the library itself, imported, and the intermediate file compared
// byte for byte with samples the test computes on its own.
#include "c_locale.h"
#include "child_process.h"
#include "grid_import.h"
#include "netcdf_files.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <cmath>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>

namespace {

std::vector<unsigned char> float_bytes(const std::vector<float>& samples) {
    std::vector<unsigned char> bytes(samples.size() * 4);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::uint32_t u;
        std::memcpy(&u, &samples[i], 4);
        for (int b = 0; b < 4; ++b)
            bytes[i * 4 + b] = static_cast<unsigned char>(u >> (8 * b));
    }
    return bytes;
}

struct Imported {
    ImportResult result;
    Volume data, colour;
    ScriptedPrompts prompts;
    std::vector<unsigned char> bytes; // the intermediate file
};

std::unique_ptr<Imported> import(const std::string& path, std::vector<std::string> vars = {},
                                 std::string components = {}) {
    auto r = std::make_unique<Imported>();
    ImportOptions options;
    options.variables = std::move(vars);
    options.components_dimension = std::move(components);
    r->result = import_grid(path, r->data, r->colour, r->prompts, options);
    if (r->result.ok)
        r->bytes = read_bytes(r->result.intermediate_path);
    return r;
}

double value_at(int x, int y, int z) {
    return 0.25 * x - 1.5 * y + 10.0 * z + 0.125;
}

} // namespace

TEST(NetcdfImport, float_grid_in_every_format_with_coordinates) {
    for (const auto& [format, mode] : all_formats()) {
        SCOPED_TRACE(format);
        TempDir dir;
        const std::string path = dir.file("t.nc");
        {
            NcFile f(path, mode);
            const int z = f.dim("DEPTH", 2), y = f.dim("LAT", 3), x = f.dim("LON", 4);
            const int lon = f.var("LON", NC_DOUBLE, {x});
            f.text(lon, "units", "degrees_east");
            const int depth = f.var("DEPTH", NC_FLOAT, {z});
            f.text(depth, "positive", "down");
            f.text(depth, "units", "m");
            const int t = f.var("TEMP", NC_FLOAT, {z, y, x});
            f.text(t, "long_name", "sea water temperature");
            f.text(t, "units", "degC");
            f.end_definitions();
            f.put(lon, {20.5, 21.5, 22.5, 23.5});
            f.put(depth, {5, 15});
            std::vector<double> v;
            for (int k = 0; k < 2; ++k)
                for (int j = 0; j < 3; ++j)
                    for (int i = 0; i < 4; ++i)
                        v.push_back(value_at(i, j, k));
            f.put(t, v);
        }
        const auto r = import(path);
        ASSERT_TRUE(r->result.ok) << r->result.error;
        std::vector<float> expected;
        for (int k = 0; k < 2; ++k)
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 4; ++i)
                    expected.push_back(static_cast<float>(value_at(i, j, k)));
        EXPECT_EQ(r->bytes, float_bytes(expected));
        EXPECT_EQ(r->result.intermediate_path, path + ".dat");
        EXPECT_EQ(r->data.nx, 4);
        EXPECT_EQ(r->data.ny, 3);
        EXPECT_EQ(r->data.nz, 2);
        EXPECT_EQ(r->data.ncomp, 1);
        EXPECT_EQ(r->data.sample(0, 0, 0), expected[3]); // mirrored along x, as for text
        EXPECT_EQ(r->colour.ncomp, 4);
        EXPECT_TRUE(r->prompts.messages.empty());

        const GridDescription& d = r->result.description;
        EXPECT_EQ(d.axes[0].values, (std::vector<double>{20.5, 21.5, 22.5, 23.5}));
        EXPECT_TRUE(d.axes[2].positive_down());
        // Its indices run downwards unless the depths are stored deepest first.
        GridAxis depth = d.axes[2];
        EXPECT_TRUE(depth.index_runs_down());
        depth.values = {5, 15, 25};
        EXPECT_TRUE(depth.index_runs_down());
        depth.values = {25, 15, 5};
        EXPECT_FALSE(depth.index_runs_down());
        depth.positive = "up";
        EXPECT_FALSE(depth.index_runs_down());
        EXPECT_FALSE(d.axes[1].has_coordinates());
        EXPECT_EQ(d.lines(), (std::vector<std::string>{
                                 std::string("File: t.nc (") + format + ")",
                                 "Variable: TEMP (sea water temperature, degC)",
                                 "x: LON 20.5..23.5 degrees_east", "y: LAT 0..2 (grid indices)",
                                 "z: DEPTH 5..15 m, positive down"}));
    }
}

TEST(NetcdfImport, packed_shorts_with_fill_missing_values_and_valid_range) {
    TempDir dir;
    const std::string path = dir.file("packed.nc");
    // Stored values, in file order: valid, fill, two missing values, beyond the valid range,
    // then the range's own ends.
    const std::vector<double> stored = {1200, -999, -998, -997, 3001, -501, -500, 3000};
    {
        NcFile f(path, NC_CLOBBER | NC_NETCDF4);
        const int z = f.dim("z", 1), y = f.dim("y", 2), x = f.dim("x", 4);
        const int v = f.var("SST", NC_SHORT, {z, y, x});
        f.numbers(v, "_FillValue", NC_SHORT, {-999});
        f.numbers(v, "missing_value", NC_SHORT, {-998, -997});
        f.numbers(v, "valid_range", NC_SHORT, {-500, 3000});
        f.numbers(v, "scale_factor", NC_DOUBLE, {0.01});
        f.numbers(v, "add_offset", NC_DOUBLE, {10.0});
        f.end_definitions();
        f.put(v, stored);
    }
    const auto r = import(path);
    ASSERT_TRUE(r->result.ok) << r->result.error;
    const auto unpack = [](double s) { return static_cast<float>(s * 0.01 + 10.0); };
    EXPECT_EQ(r->bytes, float_bytes({unpack(1200), -9999, -9999, -9999, -9999, -9999, unpack(-500),
                                     unpack(3000)}));
    EXPECT_EQ(r->result.description.missing_count, 5);
    EXPECT_EQ(r->data.stat_count, 3);

    // valid_min and valid_max of the unpacked type are in unpacked units.
    const std::string unpacked_range = dir.file("range.nc");
    {
        NcFile f(unpacked_range, NC_CLOBBER);
        const int z = f.dim("z", 1), y = f.dim("y", 1), x = f.dim("x", 4);
        const int v = f.var("T", NC_BYTE, {z, y, x});
        f.numbers(v, "scale_factor", NC_FLOAT, {0.5});
        f.numbers(v, "valid_min", NC_FLOAT, {-1.0});
        f.numbers(v, "valid_max", NC_FLOAT, {2.0});
        f.end_definitions();
        f.put(v, {-3, -2, 4, 5}); // -1.5, -1, 2, 2.5
    }
    const auto b = import(unpacked_range);
    ASSERT_TRUE(b->result.ok) << b->result.error;
    EXPECT_EQ(b->bytes, float_bytes({-9999, -1, 2, -9999}));
}

// Unpacked floats are compared as floats, with as many missing values as the variable names and
// the valid range only where it has one: each combination gives the bytes the attributes say.
TEST(NetcdfImport, floats_with_a_valid_range_several_missing_values_or_only_a_fill) {
    TempDir dir;
    const std::string path = dir.file("floats.nc");
    {
        NcFile f(path, NC_CLOBBER | NC_NETCDF4);
        const int z = f.dim("z", 1), y = f.dim("y", 1), x = f.dim("x", 8);
        const int ranged = f.var("R", NC_FLOAT, {z, y, x});
        f.numbers(ranged, "_FillValue", NC_FLOAT, {1e37});
        f.numbers(ranged, "valid_range", NC_FLOAT, {-5, 40});
        const int several = f.var("M", NC_FLOAT, {z, y, x});
        f.numbers(several, "_FillValue", NC_FLOAT, {1e37});
        f.numbers(several, "missing_value", NC_FLOAT, {-1e34, 9.97e36});
        const int fill = f.var("P", NC_FLOAT, {z, y, x});
        f.numbers(fill, "_FillValue", NC_FLOAT, {1e37});
        f.end_definitions();
        const std::vector<double> values = {
            1e37, -1e34, 9.97e36, 40.5, -5, 40, std::numeric_limits<double>::infinity(), 12.5};
        for (const int v : {ranged, several, fill})
            f.put(v, values);
    }
    const auto r = import(path, {"R", "M", "P"});
    ASSERT_TRUE(r->result.ok) << r->result.error;
    const float m = -9999;
    EXPECT_EQ(r->bytes,
              float_bytes({m,  m,  m,  m,  m,  -1e34f, m, m, 9.97e36f, m,     40.5f, 40.5f,
                           -5, -5, -5, 40, 40, 40,     m, m, m,        12.5f, 12.5f, 12.5f}));
    EXPECT_EQ(r->result.description.missing_count, 11);
    EXPECT_EQ(r->result.description.low_value_count, 1);

    // A valid_min of NaN admits no value.
    const std::string nan_bound = dir.file("nan.nc");
    {
        NcFile f(nan_bound, NC_CLOBBER);
        const int z = f.dim("z", 1), y = f.dim("y", 1), x = f.dim("x", 3);
        const int v = f.var("T", NC_FLOAT, {z, y, x});
        f.numbers(v, "valid_min", NC_FLOAT, {std::nan("")});
        f.end_definitions();
        f.put(v, {1, 2, 3});
    }
    const auto n = import(nan_bound);
    ASSERT_TRUE(n->result.ok) << n->result.error;
    EXPECT_EQ(n->bytes, float_bytes({m, m, m}));
}

// The last bytes of the intermediate file fail to reach it (here the file size limit; a full
// disk alike): the import says so and the old file stays, whichever write it was.
TEST(NetcdfImport, a_failing_last_write_is_reported_and_the_old_file_kept) {
    TempDir dir;
    const std::string path = dir.file("g.nc");
    // 2073 floats, 8292 bytes: the stream still holds the last 100 when all has been handed
    // to it, and the file may grow to 8192.
    {
        NcFile f(path, NC_CLOBBER);
        const int z = f.dim("z", 1), y = f.dim("y", 1), x = f.dim("x", 2073);
        const int v = f.var("T", NC_FLOAT, {z, y, x});
        f.end_definitions();
        f.put(v, std::vector<double>(2073, 4.5));
    }
    const std::string dat = dir.write("g.nc.dat", "kept");
    const std::string failed = run_in_child([&]() -> std::string {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return "cannot limit the file size";
        Volume data, colour;
        ScriptedPrompts p;
        if (import_grid(path, data, colour, p).ok)
            return "the import succeeded";
        const std::string expected = "Error: \"" + dat + "\" could not be written completely";
        if (p.messages.size() != 1 || p.messages[0] != expected)
            return "messages: " + (p.messages.empty() ? std::string("none") : p.messages[0]);
        return {};
    });
    EXPECT_EQ(failed, "");
    EXPECT_EQ(read_bytes(dat), std::vector<unsigned char>({'k', 'e', 'p', 't'}));
}

TEST(NetcdfImport, default_fill_nan_and_low_values) {
    for (const auto& [format, mode] : all_formats()) {
        SCOPED_TRACE(format);
        TempDir dir;
        const std::string path = dir.file("f.nc");
        {
            NcFile f(path, mode);
            const int z = f.dim("z", 1), y = f.dim("y", 2), x = f.dim("x", 3);
            const int v = f.var("T", NC_FLOAT, {z, y, x});
            f.end_definitions();
            // The second row is never written: it holds the library's default fill.
            f.put(v, {0, 0, 0}, {1, 1, 3}, {std::nan(""), -100.0, -250.5});
        }
        const auto r = import(path);
        ASSERT_TRUE(r->result.ok) << r->result.error;
        EXPECT_EQ(r->bytes, float_bytes({-9999, -100, -250.5f, -9999, -9999, -9999}));
        EXPECT_EQ(r->result.description.missing_count, 4);
        EXPECT_EQ(r->result.description.low_value_count, 2);
        EXPECT_EQ(r->result.description.low_value_notice(),
                  "2 valid values at or below -100 will be read as missing");
    }
}

TEST(NetcdfImport, every_integer_and_floating_type) {
    struct Case {
        nc_type type;
        std::vector<double> stored; // two values; the third is left at the default fill
        std::vector<float> expected;
    };
    const std::vector<Case> cases = {
        {NC_BYTE, {-128, 127}, {-128, 127, -9999}},
        {NC_UBYTE, {0, 254}, {0, 254, -9999}},
        {NC_SHORT, {-32768, 32767}, {-32768, 32767, -9999}},
        {NC_USHORT, {0, 65534}, {0, 65534, -9999}},
        {NC_INT, {-2147483648.0, 2147483647}, {-2147483648.0f, 2147483647.0f, -9999}},
        {NC_UINT, {0, 4294967294.0}, {0, 4294967294.0f, -9999}},
        {NC_INT64, {-5, 1e15}, {-5, 1e15f, -9999}},
        {NC_UINT64, {7, 1e18}, {7, 1e18f, -9999}},
        {NC_FLOAT, {1.5, -1e30}, {1.5, -1e30f, -9999}},
        // A double beyond the range of float32 cannot be a sample.
        {NC_DOUBLE, {0.1, 1e300}, {0.1f, -9999, -9999}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        TempDir dir;
        const std::string path = dir.file("t.nc");
        {
            NcFile f(path, NC_CLOBBER | NC_NETCDF4);
            const int z = f.dim("z", 1), y = f.dim("y", 1), x = f.dim("x", 3);
            const int v = f.var("V", c.type, {z, y, x});
            f.end_definitions();
            f.put(v, {0, 0, 0}, {1, 1, 2}, c.stored);
        }
        const auto r = import(path);
        ASSERT_TRUE(r->result.ok) << r->result.error;
        EXPECT_EQ(r->bytes, float_bytes(c.expected));
    }

    // _Unsigned = "true" makes the bytes of a classic file 0..255, fill values included.
    TempDir dir;
    const std::string path = dir.file("u.nc");
    {
        NcFile f(path, NC_CLOBBER);
        const int z = f.dim("z", 1), y = f.dim("y", 1), x = f.dim("x", 3);
        const int v = f.var("V", NC_BYTE, {z, y, x});
        f.text(v, "_Unsigned", "true");
        f.numbers(v, "_FillValue", NC_BYTE, {-1}); // 255
        f.end_definitions();
        f.put(v, {-2, 5, -1});
    }
    const auto r = import(path);
    ASSERT_TRUE(r->result.ok) << r->result.error;
    EXPECT_EQ(r->bytes, float_bytes({254, 5, -9999}));
}

TEST(NetcdfImport, components_from_a_dimension_or_from_several_variables) {
    TempDir dir;
    const std::string path = dir.file("c.nc");
    // Two layouts of the same 4-D data: TIME first, and TIME between DEPTH and LAT.
    const auto value = [](int t, int x, int y, int z) { return 1000 * t + 100 * z + 10 * y + x; };
    {
        NcFile f(path, NC_CLOBBER | NC_NETCDF4);
        const int t = f.dim("TIME", NC_UNLIMITED), z = f.dim("DEPTH", 2), y = f.dim("LAT", 3),
                  x = f.dim("LON", 2);
        const int time = f.var("TIME", NC_DOUBLE, {t});
        f.text(time, "units", "days since 2000-01-01");
        const int a = f.var("A", NC_FLOAT, {t, z, y, x});
        const int b = f.var("B", NC_FLOAT, {z, t, y, x});
        const int s = f.var("S", NC_FLOAT, {z, y, x});
        const int s2 = f.var("S2", NC_INT, {z, y, x});
        f.end_definitions();
        f.put(time, {0}, {3}, {15, 45, 74});
        std::vector<double> va, vb, vs, vs2;
        for (int k = 0; k < 2; ++k)
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 2; ++i) {
                    vs.push_back(value(0, i, j, k));
                    vs2.push_back(value(5, i, j, k));
                }
        for (int tt = 0; tt < 3; ++tt)
            for (int k = 0; k < 2; ++k)
                for (int j = 0; j < 3; ++j)
                    for (int i = 0; i < 2; ++i)
                        va.push_back(value(tt, i, j, k));
        for (int k = 0; k < 2; ++k)
            for (int tt = 0; tt < 3; ++tt)
                for (int j = 0; j < 3; ++j)
                    for (int i = 0; i < 2; ++i)
                        vb.push_back(value(tt, i, j, k));
        f.put(a, {0, 0, 0, 0}, {3, 2, 3, 2}, va);
        f.put(b, {0, 0, 0, 0}, {2, 3, 3, 2}, vb);
        f.put(s, vs);
        f.put(s2, vs2);
    }
    std::vector<float> by_time, by_variable;
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 2; ++i) {
                for (int tt = 0; tt < 3; ++tt)
                    by_time.push_back(static_cast<float>(value(tt, i, j, k)));
                by_variable.push_back(static_cast<float>(value(0, i, j, k)));
                by_variable.push_back(static_cast<float>(value(5, i, j, k)));
            }
    for (const char* var : {"A", "B"}) {
        const auto r = import(path, {var}, "TIME");
        ASSERT_TRUE(r->result.ok) << r->result.error;
        EXPECT_EQ(r->bytes, float_bytes(by_time)) << var;
        EXPECT_EQ(r->data.ncomp, 3);
        const GridAxis& time = r->result.description.components;
        EXPECT_EQ(time.name, "TIME");
        EXPECT_EQ(time.values, (std::vector<double>{15, 45, 74}));
        EXPECT_EQ(r->result.description.lines()[1],
                  std::string("Variable: ") + var +
                      "; components along TIME 15, 45, 74 days since 2000-01-01");
    }
    const auto r = import(path, {"S", "S2"});
    ASSERT_TRUE(r->result.ok) << r->result.error;
    EXPECT_EQ(r->bytes, float_bytes(by_variable));
    EXPECT_EQ(r->data.ncomp, 2);
    EXPECT_EQ(r->result.description.variables.size(), 2u);

    // A 3-D variable with --components leaves a 2-D grid (z of extent 1).
    const auto flat = import(path, {"S"}, "DEPTH");
    ASSERT_TRUE(flat->result.ok) << flat->result.error;
    EXPECT_EQ(flat->data.nz, 1);
    EXPECT_EQ(flat->data.ny, 3);
    EXPECT_EQ(flat->data.ncomp, 2);
}

TEST(NetcdfImport, record_variables_of_a_classic_file) {
    TempDir dir;
    const std::string path = dir.file("rec.nc");
    {
        NcFile f(path, NC_CLOBBER);
        const int t = f.dim("time", NC_UNLIMITED), y = f.dim("y", 2), x = f.dim("x", 3);
        const int a = f.var("A", NC_SHORT, {t, y, x});
        const int b = f.var("B", NC_BYTE, {t, y, x}); // records are padded after it
        f.end_definitions();
        std::vector<double> va, vb;
        for (int i = 0; i < 4 * 6; ++i) {
            va.push_back(i);
            vb.push_back(-i);
        }
        f.put(a, {0, 0, 0}, {4, 2, 3}, va);
        f.put(b, {0, 0, 0}, {4, 2, 3}, vb);
    }
    const auto r = import(path, {"B", "A"});
    ASSERT_TRUE(r->result.ok) << r->result.error;
    std::vector<float> expected;
    for (int i = 0; i < 24; ++i) {
        expected.push_back(static_cast<float>(-i));
        expected.push_back(static_cast<float>(i));
    }
    EXPECT_EQ(r->bytes, float_bytes(expected));
    EXPECT_EQ(r->data.nz, 4);
}

TEST(NetcdfImport, the_same_grid_as_text_and_as_netcdf_gives_the_same_intermediate_file) {
    TempDir dir;
    const int nx = 5, ny = 4, nz = 3;
    const auto value = [](int c, int x, int y, int z) -> float {
        if (c == 1 && x == 2 && y == 1)
            return -9999.0f; // missing in both files
        return static_cast<float>(std::sin(0.7 * x + 1.3 * y - 0.4 * z + c) * 17.3);
    };
    std::string text = "3 4 5 2\n";
    std::vector<double> a, b;
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                text += format_c("  %d %d %d %.9g %.9g\n", x, y, z, value(0, x, y, z),
                                 value(1, x, y, z));
                a.push_back(value(0, x, y, z));
                b.push_back(value(1, x, y, z));
            }
    const std::string nc = dir.file("g.nc");
    {
        NcFile f(nc, NC_CLOBBER | NC_NETCDF4);
        const int dz = f.dim("z", nz), dy = f.dim("y", ny), dx = f.dim("x", nx);
        f.var("A", NC_FLOAT, {dz, dy, dx});
        const int vb = f.var("B", NC_FLOAT, {dz, dy, dx});
        f.numbers(vb, "_FillValue", NC_FLOAT, {-9999});
        f.end_definitions();
        f.put(0, a);
        f.put(vb, b);
    }
    const auto from_text = import(dir.write("g.txt", text));
    const auto from_netcdf = import(nc, {"A", "B"});
    ASSERT_TRUE(from_text->result.ok && from_netcdf->result.ok);
    EXPECT_EQ(from_text->bytes, from_netcdf->bytes);
    EXPECT_EQ(from_text->bytes.size(), 4u * nx * ny * nz * 2);
    EXPECT_EQ(from_text->data.stat_count, from_netcdf->data.stat_count);
    EXPECT_EQ(from_text->data.stat_mean, from_netcdf->data.stat_mean);
    EXPECT_EQ(from_text->data.stat_std_dev, from_netcdf->data.stat_std_dev);
}

TEST(NetcdfImport, large_grids_cross_blocks_by_planes_rows_and_columns) {
    // Each shape passes one 8 MiB block: by whole planes, by rows of one plane, by part of a row.
    const struct {
        std::size_t t, z, y, x;
        std::vector<std::size_t> chunks;
    } shapes[] = {{1, 40, 128, 500, {7, 64, 128}},
                  {2, 1, 600, 2000, {1, 1, 64, 500}},
                  {1, 1, 1, 2200000, {}}};
    for (const auto& s : shapes) {
        SCOPED_TRACE(s.x);
        TempDir dir;
        const std::string path = dir.file("big.nc");
        const auto value = [](std::size_t i) { return static_cast<double>(i % 50000) - 20000; };
        const std::size_t n = s.t * s.z * s.y * s.x;
        {
            NcFile f(path, NC_CLOBBER | NC_NETCDF4);
            std::vector<int> dims;
            if (s.t > 1)
                dims.push_back(f.dim("t", s.t));
            dims.push_back(f.dim("z", s.z));
            dims.push_back(f.dim("y", s.y));
            dims.push_back(f.dim("x", s.x));
            const int v = f.var("V", NC_SHORT, dims);
            if (!s.chunks.empty()) {
                EXPECT_EQ(nc_def_var_chunking(f.id(), v, NC_CHUNKED, s.chunks.data()), NC_NOERR);
                EXPECT_EQ(nc_def_var_deflate(f.id(), v, 1, 1, 1), NC_NOERR);
            }
            f.end_definitions();
            std::vector<double> values(n);
            for (std::size_t i = 0; i < n; ++i)
                values[i] = value(i);
            f.put(v, values);
        }
        const auto r = s.t > 1 ? import(path, {"V"}, "t") : import(path);
        ASSERT_TRUE(r->result.ok) << r->result.error;
        const std::size_t points = n / s.t;
        std::vector<float> expected(n);
        for (std::size_t p = 0; p < points; ++p)
            for (std::size_t c = 0; c < s.t; ++c)
                expected[p * s.t + c] = static_cast<float>(value(c * points + p));
        EXPECT_TRUE(r->bytes == float_bytes(expected));
    }
}

TEST(NetcdfImport, every_stage_reports_in_order_and_cancel_keeps_the_old_intermediate_file) {
    TempDir dir;
    const std::string path = dir.file("s.nc");
    {
        NcFile f(path, NC_CLOBBER);
        const int z = f.dim("z", 2), y = f.dim("y", 2), x = f.dim("x", 2);
        const int v = f.var("T", NC_FLOAT, {z, y, x});
        f.end_definitions();
        f.put(v, {1, 2, 3, 4, 5, 6, 7, 8});
    }
    Volume data, colour;
    ScriptedPrompts done;
    ASSERT_TRUE(import_grid(path, data, colour, done).ok);
    EXPECT_EQ(done.stages,
              (std::vector<ImportStage>{ImportStage::converting, ImportStage::writing,
                                        ImportStage::reading_back, ImportStage::loading}));
    for (const ImportStage stage : {ImportStage::converting, ImportStage::writing}) {
        dir.write("s.nc.dat", "old");
        ScriptedPrompts cancel;
        cancel.cancel_in = stage;
        Volume d, c;
        const ImportResult r = import_grid(path, d, c, cancel);
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(read_bytes(path + ".dat"), (std::vector<unsigned char>{'o', 'l', 'd'}));
        EXPECT_EQ(d.nx, 0);
    }
}

#if defined(HALVORN_OCEAN_TEXT) && defined(HALVORN_OCEAN_NC)
// Equal samples; not equal bytes, as the text holds "-0.00" where a packed short holds 0.
TEST(NetcdfImport, the_ocean_sample_as_text_and_as_netcdf_gives_the_same_samples) {
    TempDir dir;
    const auto run = [&](const std::string& grid, const std::string& dat,
                         std::vector<std::string> vars, const std::string& components) {
        auto r = std::make_unique<Imported>();
        ImportOptions options;
        options.intermediate_path = dir.file(dat);
        options.variables = std::move(vars);
        options.components_dimension = components;
        r->result = import_grid(grid, r->data, r->colour, r->prompts, options);
        if (r->result.ok)
            r->bytes = read_bytes(options.intermediate_path);
        return r;
    };
    const auto text = run(HALVORN_OCEAN_TEXT, "text.dat", {}, "");
    const auto nc = run(HALVORN_OCEAN_NC, "nc.dat", {"TEMP"}, "TIME");
    ASSERT_TRUE(text->result.ok && nc->result.ok) << nc->result.error;
    ASSERT_EQ(text->data.sample_count(), nc->data.sample_count());
    std::int64_t differ = 0;
    for (std::int64_t i = 0; i < text->data.sample_count(); ++i)
        differ += text->data.samples[i] != nc->data.samples[i];
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(text->data.stat_count, nc->data.stat_count);
    EXPECT_EQ(text->data.stat_mean, nc->data.stat_mean);
    EXPECT_EQ(nc->result.description.lines(),
              (std::vector<std::string>{
                  "File: ocean.nc (netCDF-4)",
                  "Variable: TEMP (sea water temperature, degC); components along TIME 45.5, "
                  "227.5 days since 2001-01-01 00:00:00",
                  "x: LON 1..359 degrees_east", "y: LAT -89..89 degrees_north",
                  "z: DEPTH 1100..0 m, positive down",
                  "Missing: 162714 samples (fill values, missing_value, outside the valid range, "
                  "NaN)"}));
}
#endif
