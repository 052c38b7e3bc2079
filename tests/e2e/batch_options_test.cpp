// halvorn-batch's options beyond the text grid: NetCDF variables and components, the files an
// output must never replace, the drawing mode's two values, the camera's spin and the flip of
// a depth axis that grows downwards.
#include "run_program.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

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
        const ProgramRun r =
            run("render " + shell_quote(nc) + " --components TIME --curves " + shell_quote(curves) +
                " --size 120x90 --output " + shell_quote(png) + " " + args);
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
    for (const std::string command : {"classify", "render"}) {
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
        const ProgramRun r =
            run("render " + shell_quote(grid) + " --curves " + shell_quote(curves) + " --mode " +
                mode + " --output " + shell_quote(dir.file("m.png")));
        EXPECT_EQ(r.status, 2) << mode;
        EXPECT_NE(r.err.find("--mode needs 0 (quads) or 1 (fans)"), std::string::npos);
    }
}

// The depth of the ocean file grows downwards: drawn flipped unless --axis-scale says
// otherwise; a spin turns the camera about the up axis.
TEST_F(BatchOptions, a_depth_stored_deepest_first_is_not_flipped_and_the_camera_spins) {
    // The sample's depth grows downwards but its first plane is the deepest: its indices
    // already run upwards, so the surface is on top without a flip.
    const std::string side = "--distance 260 --tilt 1.4";
    const std::string plain = render(side);
    EXPECT_EQ(render(side + " --axis-scale 1,1,1"), plain);
    EXPECT_NE(render(side + " --axis-scale 1,1,-1"), plain);
    EXPECT_NE(render(side + " --spin 0.5"), plain);
    EXPECT_EQ(render(side + " --spin 0"), plain);
}

// --preset sets curves with or without a curves file (a colour preset alone brings the ramp),
// --curves reads a ParaView map, and what is neither is refused with the reason.
TEST_F(BatchOptions, presets_and_paraview_maps) {
    const std::string grid = dir.write("g.txt", "1 1 2 2\n  0 0 0 10 30\n  0 0 0 20 40\n");
    const auto classify = [&](const std::string& args) {
        const std::string raw = dir.file("c.raw");
        std::filesystem::remove(raw);
        const ProgramRun r =
            run("classify " + shell_quote(grid) + " " + args + " --output " + shell_quote(raw));
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        const std::string bytes = read_text(raw);
        std::vector<float> v(bytes.size() / sizeof(float));
        std::memcpy(v.data(), bytes.data(), v.size() * sizeof(float));
        return v;
    };
    const std::vector<float> grey = classify("--preset grey");
    ASSERT_EQ(grey.size(), 8u);
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(grey[4 * p], grey[4 * p + 1]);
        EXPECT_EQ(grey[4 * p], grey[4 * p + 2]);
    }
    EXPECT_GT(std::min(grey[3], grey[7]), 0.0f);     // the ramp that comes with a colour preset
    EXPECT_NE(grey[3], grey[7]);                     // the two paths differ: the brighter point
    EXPECT_EQ(grey[4] > grey[0], grey[7] > grey[3]); // is the more opaque one
    EXPECT_EQ(classify("--preset ramp,grey"), grey);
    EXPECT_NE(classify("--preset step,grey"), grey);
    // After a curves file the colour preset replaces only the colour curves.
    const std::vector<float> sample = classify("--curves " + shell_quote(curves));
    const std::vector<float> over = classify("--curves " + shell_quote(curves) + " --preset grey");
    EXPECT_EQ(over[3], sample[3]);
    EXPECT_NE(over[0], sample[0]);

    // A ParaView map of grey from 0 to 100 with a ramp gives what the presets give.
    const std::string map = dir.write("grey.json", R"([{"Name": "G", "ColorSpace": "RGB",
        "RGBPoints": [0, 0, 0, 0, 100, 1, 1, 1], "Points": [0, 0, 0.5, 0, 100, 1, 0.5, 0]}])");
    const std::vector<float> fitted = classify("--curves " + shell_quote(map));
    for (std::size_t i = 0; i < grey.size(); ++i)
        EXPECT_NEAR(fitted[i], grey[i], 0.02) << i;

    ProgramRun r = run("classify " + shell_quote(grid) + " --preset magma --output " +
                       shell_quote(dir.file("x.raw")));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no preset is named 'magma'"), std::string::npos) << r.err;
    const std::string odd = dir.write("odd.json", R"({"Name": "x", "NanColor": [1, 0, 0]})");
    r = run("render " + shell_quote(grid) + " --curves " + shell_quote(odd) + " --output " +
            shell_quote(dir.file("x.png")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("RGBPoints"), std::string::npos) << r.err;
    EXPECT_FALSE(file_exists(dir.file("x.png")));
    r = run("render " + shell_quote(grid) + " --preset viridis,tent --size 60x40 --output " +
            shell_quote(dir.file("v.png")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(file_exists(dir.file("v.png")));
}

TEST_F(BatchOptions, integration_exact_or_forward) {
    // A path that rises and falls, one that only rises, and a single component.
    const std::string down = dir.write("d.txt", "1 1 2 3\n  0 0 0 10 30 12\n  0 0 1 20 25 10\n");
    const std::string up = dir.write("u.txt", "1 1 2 3\n  0 0 0 10 20 30\n  0 0 1 12 25 40\n");
    const std::string one = dir.write("o.txt", "1 1 2 1\n  0 0 0 10\n  0 0 1 20\n");
    auto classify = [&](const std::string& grid, const std::string& choice) {
        const std::string out = dir.file("c.raw");
        const ProgramRun r =
            run("classify " + shell_quote(grid) + " --curves " + shell_quote(curves) +
                " --low 5 --range 40 " + choice + " --output " + shell_quote(out));
        EXPECT_EQ(r.status, 0) << choice << r.err;
        return read_text(out);
    };
    EXPECT_EQ(classify(up, ""), classify(up, "--integration forward"));
    EXPECT_EQ(classify(up, ""), classify(up, "--integration exact"));
    EXPECT_NE(classify(down, ""), classify(down, "--integration forward"));
    // The forward walk gives a lone value nothing; the exact one its colour.
    const std::string forward = classify(one, "--integration forward");
    EXPECT_EQ(forward, std::string(forward.size(), '\0'));
    EXPECT_NE(classify(one, ""), forward);
    const ProgramRun r = run("classify " + shell_quote(up) + " --curves " + shell_quote(curves) +
                             " --integration backward --output " + shell_quote(dir.file("x")));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--integration"), std::string::npos) << r.err;
}
