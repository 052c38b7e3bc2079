// Which data of a NetCDF file becomes the grid, and the messages that refuse a choice.
#include "grid_import.h"
#include "netcdf_files.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <gtest/gtest.h>

namespace {

// A file with two grids of three dimensions, one of four and one of five, a 2-D field, a
// string variable and coordinate variables.
std::string write_choices(const TempDir& dir) {
    const std::string path = dir.file("choices.nc");
    NcFile f(path, NC_CLOBBER | NC_NETCDF4);
    const int t = f.dim("TIME", 2), z = f.dim("DEPTH", 2), y = f.dim("LAT", 2), x = f.dim("LON", 3),
              e = f.dim("ENS", 1), n = f.dim("NAMELEN", 8);
    f.var("LON", NC_FLOAT, {x});
    const int sst = f.var("SST", NC_FLOAT, {z, y, x});
    f.text(sst, "long_name", "sea temperature");
    f.text(sst, "units", "degC");
    const int salt = f.var("SALT", NC_SHORT, {z, y, x});
    f.var("AIRT", NC_FLOAT, {t, z, y, x});
    f.var("FIVE", NC_FLOAT, {e, t, z, y, x});
    f.var("MAP", NC_DOUBLE, {y, x});
    f.var("WIDE", NC_FLOAT, {z, y, t});
    f.var("NAME", NC_CHAR, {x, n});
    f.end_definitions();
    f.put(sst, std::vector<double>(12, 1.0));
    f.put(salt, std::vector<double>(12, 35.0));
    return path;
}

struct Outcome {
    ImportResult result;
    ScriptedPrompts prompts;
    Volume data, colour;
};

std::unique_ptr<Outcome> import(const std::string& path, std::vector<std::string> vars,
                                std::string components = {},
                                std::optional<VariableChoice> answer = {}) {
    auto o = std::make_unique<Outcome>();
    o->prompts.choice_answer = std::move(answer);
    ImportOptions options;
    options.variables = std::move(vars);
    options.components_dimension = std::move(components);
    o->result = import_grid(path, o->data, o->colour, o->prompts, options);
    if (!o->result.ok) {
        EXPECT_EQ(o->prompts.messages, std::vector<std::string>{o->result.error});
    }
    return o;
}

} // namespace

TEST(NetcdfChoice, several_candidates_are_offered_and_refused_with_their_list) {
    TempDir dir;
    const std::string path = write_choices(dir);
    const auto refused = import(path, {});
    ASSERT_FALSE(refused->result.ok);
    EXPECT_EQ(refused->result.error,
              "ERROR: \"" + path +
                  "\" holds several variables that could be the grid; name one with --var (and, "
                  "for one of four dimensions, the dimension that gives the components with "
                  "--components):\n"
                  "  SST(DEPTH=2, LAT=2, LON=3) \"sea temperature\" degC\n"
                  "  SALT(DEPTH=2, LAT=2, LON=3)\n"
                  "  AIRT(TIME=2, DEPTH=2, LAT=2, LON=3)\n"
                  "  FIVE(ENS=1, TIME=2, DEPTH=2, LAT=2, LON=3)\n"
                  "  WIDE(DEPTH=2, LAT=2, TIME=2)");
    ASSERT_EQ(refused->prompts.offered.size(), 1u);
    EXPECT_EQ(refused->prompts.offered[0].size(), 5u);
    EXPECT_EQ(refused->prompts.offered[0][0].units, "degC");

    // A chooser's answer is read like --var and --components.
    VariableChoice two;
    two.variables = {"SST", "SALT"};
    const auto chosen = import(path, {}, {}, two);
    ASSERT_TRUE(chosen->result.ok) << chosen->result.error;
    EXPECT_EQ(chosen->data.ncomp, 2);
    EXPECT_EQ(chosen->data.max_value(), 35.0);
}

TEST(NetcdfChoice, what_cannot_be_read_says_what_to_change) {
    TempDir dir;
    const std::string path = write_choices(dir);
    const std::string in_file = "ERROR: \"" + path + "\": ";
    const struct {
        std::vector<std::string> vars;
        std::string components;
        std::string error;
    } cases[] = {
        {{"AIRT"},
         "",
         in_file + "variable AIRT has four dimensions (TIME=2, DEPTH=2, LAT=2, LON=3); add "
                   "--components with the one whose indices become the components, for example "
                   "--components TIME"},
        {{"FIVE"},
         "TIME",
         in_file + "variable FIVE has 5 dimensions (ENS=1, TIME=2, DEPTH=2, LAT=2, LON=3); at "
                   "most four can be read: three for the grid and one for the components "
                   "(--components). Name a variable of at most four dimensions with --var"},
        {{"NOPE"},
         "",
         "ERROR: \"" + path +
             "\" has no variable named \"NOPE\"; its variables: LON, SST, SALT, AIRT, FIVE, MAP, "
             "WIDE, NAME"},
        {{"NAME"}, "", in_file + "variable NAME holds text (char), not numbers"},
        {{"SST", "AIRT"},
         "",
         in_file + "variables SST(DEPTH=2, LAT=2, LON=3) and AIRT(TIME=2, DEPTH=2, LAT=2, LON=3) "
                   "differ in shape; the variables that give the components must have the same "
                   "dimensions"},
        {{"SST", "SALT"},
         "DEPTH",
         in_file + "--components takes the components from one variable, but --var names 2"},
        {{"AIRT"},
         "MONTH",
         in_file + "variable AIRT has no dimension named \"MONTH\"; its dimensions: TIME=2, "
                   "DEPTH=2, LAT=2, LON=3"},
    };
    for (const auto& c : cases) {
        const auto o = import(path, c.vars, c.components);
        EXPECT_FALSE(o->result.ok);
        EXPECT_EQ(o->result.error, c.error);
    }

    // A 2-D variable is a grid one plane thick; a 4-D one reads with its components named, the
    // components' dimension anywhere among its dimensions.
    const auto map = import(path, {"MAP"});
    ASSERT_TRUE(map->result.ok) << map->result.error;
    EXPECT_EQ(map->data.nx, 3);
    EXPECT_EQ(map->data.ny, 2);
    EXPECT_EQ(map->data.nz, 1);
    EXPECT_TRUE(import(path, {"AIRT"}, "TIME")->result.ok);
    const auto wide = import(path, {"WIDE"}, "LAT");
    ASSERT_TRUE(wide->result.ok) << wide->result.error;
    EXPECT_EQ(wide->data.nx, 2);
    EXPECT_EQ(wide->data.ny, 2);
    EXPECT_EQ(wide->data.ncomp, 2);
    EXPECT_EQ(wide->result.description.axes[0].name, "TIME");
}

TEST(NetcdfChoice, the_only_grid_is_taken_and_a_file_without_one_is_refused) {
    TempDir dir;
    const std::string one = dir.file("one.nc");
    {
        NcFile f(one, NC_CLOBBER);
        const int z = f.dim("z", 2), y = f.dim("y", 2), x = f.dim("x", 2);
        f.var("x", NC_FLOAT, {x});
        f.var("T", NC_FLOAT, {z, y, x});
        f.var("AREA", NC_FLOAT, {y, x});
    }
    EXPECT_TRUE(import(one, {})->result.ok);

    const std::string flat = dir.file("flat.nc");
    {
        NcFile f(flat, NC_CLOBBER);
        const int y = f.dim("y", 2), x = f.dim("x", 2);
        const int v = f.var("AREA", NC_FLOAT, {y, x});
        f.text(v, "units", "m2");
    }
    const auto o = import(flat, {});
    EXPECT_EQ(o->result.error, "ERROR: \"" + flat +
                                   "\" holds no variable of three or more dimensions; name the "
                                   "variable to read with --var:\n  AREA(y=2, x=2) m2");
}
