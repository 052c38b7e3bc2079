// halvorn-batch's options beyond the text grid: NetCDF variables and components, the files an
// output must never replace, the drawing mode's two values, the camera's spin and the flip of
// a depth axis that grows downwards.
#include "run_program.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string batch = HALVORN_BATCH;
const std::string ocean = HALVORN_OCEAN_NC;
const std::string curves = HALVORN_SAMPLE_CURVES;

ProgramRun run(const std::string& args) {
    return run_program(shell_quote(batch) + " " + args);
}

class BatchOptions : public ::testing::Test {
protected:
    TempDir dir;
    std::string nc = dir.file("ocean.nc");
    void SetUp() override { std::filesystem::copy_file(ocean, nc); }
    std::string render(const std::string& args) {
        const std::string png = dir.file("r.png");
        const ProgramRun r = run("render " + shell_quote(nc) + " --components TIME --curves " +
                                 shell_quote(curves) + " --size 120x90 --output " +
                                 shell_quote(png) + " " + args);
        EXPECT_EQ(r.status, 0) << r.err;
        return read_text(png);
    }
};

} // namespace

TEST_F(BatchOptions, netcdf_variables_and_components) {
    ProgramRun r = run("info " + shell_quote(nc) + " --components TIME");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "extents: 180 90 12 components: 2");
    r = run("info " + shell_quote(nc) + " --var TEMP --components TIME");
    EXPECT_EQ(r.status, 0) << r.err;
    // A four-dimensional variable without --components, and a name the file lacks: refused.
    r = run("info " + shell_quote(nc));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--components"), std::string::npos) << r.err;
    r = run("info " + shell_quote(nc) + " --var SALT");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("SALT"), std::string::npos) << r.err;
    EXPECT_EQ(run("info " + shell_quote(nc) + " --var ,").status, 2);
}

TEST_F(BatchOptions, outputs_never_replace_the_grid_or_the_curves_file) {
    const std::string grid = dir.write("g.txt", "1 1 2 2\n  0 0 0 10 30\n  0 0 0 20 40\n");
    const std::string kept = dir.write("c.json", read_text(curves));
    for (const std::string& command : {"classify", "render"}) {
        for (const std::string& target : {grid, kept}) {
            const ProgramRun r = run(command + " " + shell_quote(grid) + " --curves " +
                                     shell_quote(kept) + " --output " + shell_quote(target));
            EXPECT_EQ(r.status, 1) << command << " " << target;
        }
        const ProgramRun r = run(command + " " + shell_quote(grid) + " --curves " +
                                 shell_quote(kept) + " --intermediate " + shell_quote(kept) +
                                 " --output " + shell_quote(dir.file("out")));
        EXPECT_EQ(r.status, 1) << r.err;
    }
    EXPECT_EQ(read_text(kept), read_text(curves));
}

TEST_F(BatchOptions, mode_is_quads_or_fans) {
    const std::string grid = dir.write("g.txt", "1 1 2 2\n  0 0 0 10 30\n  0 0 0 20 40\n");
    for (const std::string mode : {"2", "-1", "fans"}) {
        const ProgramRun r = run("render " + shell_quote(grid) + " --curves " +
                                 shell_quote(curves) + " --mode " + mode + " --output " +
                                 shell_quote(dir.file("m.png")));
        EXPECT_EQ(r.status, 2) << mode;
        EXPECT_NE(r.err.find("--mode needs 0 (quads) or 1 (fans)"), std::string::npos);
    }
}

// The depth of the ocean file grows downwards: drawn flipped unless --axis-scale says
// otherwise; a spin turns the camera about the up axis.
TEST_F(BatchOptions, a_downward_depth_is_flipped_and_the_camera_spins) {
    const std::string side = "--distance 260 --tilt 1.4";
    const std::string flipped = render(side);
    EXPECT_EQ(render(side + " --axis-scale 1,1,-1"), flipped);
    EXPECT_NE(render(side + " --axis-scale 1,1,1"), flipped);
    EXPECT_NE(render(side + " --spin 0.5"), flipped);
    EXPECT_EQ(render(side + " --spin 0"), flipped);
}
