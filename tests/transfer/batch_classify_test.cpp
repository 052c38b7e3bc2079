#include "classify.h"
#include "curves_file.h"
#include "grid_import.h"
#include "run_program.h"
#include "temp_dir.h"
#include "transfer_function.h"
#include "volume.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

const std::string batch = HALVORN_BATCH;

ProgramRun classify(const std::string& args, const std::string& env = "") {
    return run_program(shell_quote(batch) + " classify " + args, env);
}

class Quiet final : public ImportPrompts {
public:
    void show_message(const std::string&) override {}
    bool ask_save_path(const std::string&, std::string&) override { return false; }
};

// What the dialog would hold after opening `grid`, loading `curves` and classifying with
// (low, range): the colour volume as little-endian float32 bytes.
std::vector<unsigned char> classified_here(const std::string& grid, const std::string& curves,
                                           double low, double range,
                                           MissingData missing = MissingData::grey) {
    Volume data, colour;
    Quiet prompts;
    ImportOptions options;
    options.intermediate_path = grid + ".here.dat";
    EXPECT_TRUE(import_grid(grid, data, colour, prompts, options).ok);
    CurvesFile file;
    std::string error;
    EXPECT_TRUE(read_curves_file(curves, file, error)) << error;
    TransferFunction f[4];
    for (int c = 0; c < 4; ++c) {
        set_curve_points(f[c], file.curves[c]);
        f[c].update_segments();
    }
    const TransferFunction* const curves_of[4] = {&f[0], &f[1], &f[2], &f[3]};
    EXPECT_TRUE(classify(colour, data, curves_of, {low, range, missing}));
    std::vector<unsigned char> bytes(static_cast<std::size_t>(colour.sample_count()) * 4);
    std::memcpy(bytes.data(), colour.samples, bytes.size()); // this machine is little-endian
    return bytes;
}

class BatchClassify : public ::testing::Test {
protected:
    void SetUp() override {
        grid = dir.write("g.txt", "2 2 3 2\n"
                                  "0 0 0 10 20\n 0 0 0 30 30\n 0 0 0 -9999 0\n"
                                  "0 0 0 55 45\n 0 0 0 70 90\n 0 0 0 5 95\n"
                                  "0 0 0 12 -20\n 0 0 0 60 61\n 0 0 0 33 34\n"
                                  "0 0 0 80 10\n 0 0 0 40 40.5\n 0 0 0 -100 20\n");
        curves = dir.write("c.json", R"({ "low": 0, "range": 100,
            "red": [[0.3, 0.8], [1.0, 0.0]], "green": [[0.5, 0.5]],
            "opacity": [[0.2, 0.1], [0.6, 0.4], [1.0, 0.0]] })");
        output = dir.file("rgba.raw");
    }

    TempDir dir;
    std::string grid, curves, output;
};

} // namespace

TEST_F(BatchClassify, writes_the_colour_volume_the_dialog_would_hold) {
    for (const std::string env : {"", "LC_ALL=de_DE.UTF-8"}) {
        const ProgramRun r = classify(shell_quote(grid) + " --curves " + shell_quote(curves) +
                                          " --output " + shell_quote(output),
                                      env);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_bytes(output), classified_here(grid, curves, 0.0, 100.0));
    }
    EXPECT_TRUE(file_exists(grid + ".dat"));
}

TEST_F(BatchClassify, options_override_the_file_which_overrides_the_defaults) {
    ASSERT_EQ(classify(shell_quote(grid) + " --curves " + shell_quote(curves) +
                       " --low 10 --range 50 --intermediate " + shell_quote(dir.file("i.dat")) +
                       " --output " + shell_quote(output))
                  .status,
              0);
    EXPECT_EQ(read_bytes(output), classified_here(grid, curves, 10.0, 50.0));
    EXPECT_TRUE(file_exists(dir.file("i.dat")));

    const std::string bare = dir.write("bare.json", R"({"low": 20})");
    ASSERT_EQ(classify(shell_quote(grid) + " --curves " + shell_quote(bare) + " --output " +
                       shell_quote(output))
                  .status,
              0);
    EXPECT_EQ(read_bytes(output), classified_here(grid, bare, 20.0, 100.0));
}

TEST_F(BatchClassify, bad_range_is_an_error) {
    const std::string zero = dir.write("zero.json", R"({"range": 0})");
    for (const std::string& args :
         {" --curves " + shell_quote(curves) + " --range 0", " --curves " + shell_quote(zero)}) {
        const ProgramRun r =
            classify(shell_quote(grid) + args + " --output " + shell_quote(output));
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, "ERROR: the temperature range must be a non-zero finite number\n");
        EXPECT_FALSE(file_exists(output));
    }
    // A number that is not finite is bad usage, as in the dialog's command line.
    EXPECT_EQ(classify(shell_quote(grid) + " --curves " + shell_quote(curves) +
                       " --range inf --output " + shell_quote(output))
                  .status,
              2);
    // Overriding a file's zero range is fine.
    EXPECT_EQ(classify(shell_quote(grid) + " --curves " + shell_quote(zero) +
                       " --range 80 --output " + shell_quote(output))
                  .status,
              0);
}

TEST_F(BatchClassify, refused_curves_file_and_bad_usage) {
    const std::string broken = dir.write("broken.json", R"({"red": [[0.5, 0.1], [0.4, 0.2]]})");
    ProgramRun r = classify(shell_quote(grid) + " --curves " + shell_quote(broken) + " --output " +
                            shell_quote(output));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(broken), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ascend"), std::string::npos) << r.err;
    EXPECT_FALSE(file_exists(output));

    EXPECT_EQ(classify(shell_quote(grid) + " --curves " + shell_quote(curves)).status, 2);
    EXPECT_EQ(classify(shell_quote(grid) + " --output " + shell_quote(output)).status, 2);
    EXPECT_EQ(classify(shell_quote(grid) + " --curves " + shell_quote(curves) +
                       " --low warm --output " + shell_quote(output))
                  .status,
              2);
    EXPECT_EQ(classify("--help").status, 0);
    EXPECT_EQ(classify(shell_quote(grid) + " --curves " + shell_quote(curves) +
                       " --missing none --output " + shell_quote(output))
                  .status,
              2);
}

TEST_F(BatchClassify, missing_data_option) {
    for (const auto& [word, missing] :
         {std::pair{"faint", MissingData::faint}, std::pair{"hidden", MissingData::hidden}}) {
        ASSERT_EQ(classify(shell_quote(grid) + " --curves " + shell_quote(curves) + " --missing " +
                           word + " --output " + shell_quote(output))
                      .status,
                  0);
        const std::vector<unsigned char> bytes = read_bytes(output);
        EXPECT_EQ(bytes, classified_here(grid, curves, 0.0, 100.0, missing));
        EXPECT_NE(bytes, classified_here(grid, curves, 0.0, 100.0)) << word;
    }
}

TEST(BatchClassifySample, bundled_sample_and_curves_classify) {
    TempDir dir;
    const std::string output = dir.file("rgba.raw");
    const ProgramRun r = classify(
        shell_quote(HALVORN_SAMPLE_GRID) + " --curves " + shell_quote(HALVORN_SAMPLE_CURVES) +
        " --intermediate " + shell_quote(dir.file("s.dat")) + " --output " + shell_quote(output));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<unsigned char> bytes = read_bytes(output);
    ASSERT_EQ(bytes.size(), 64u * 64 * 48 * 4 * 4);
    // Inside the obstacle block (x 40..51 in the grid text, mirrored on loading): grey.
    const std::size_t point = (10u * 64 + 15) * 64 + (63 - 45);
    float rgba[4];
    std::memcpy(rgba, bytes.data() + point * 16, 16);
    EXPECT_EQ(rgba[0], 0.75f);
    EXPECT_EQ(rgba[2], 0.75f);
}
