// Time through the components in halvorn-batch: --window against a grid that holds only the
// window's components, its usage errors, and the pictures of --frames and --turntable; and the
// words said about a window (its label, a time coordinate as a date), and playback's cache of
// classified windows.
#include "component_steps.h"
#include "run_program.h"
#include "scene.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string batch = HALVORN_BATCH;
const std::string curves = HALVORN_SAMPLE_CURVES;

ProgramRun run(const std::string& args) {
    return run_program(shell_quote(batch) + " " + args);
}

constexpr int nx = 4, ny = 3, nz = 2, components = 5;

// Component c of grid point (x, y, z): values spread over the curves' range, running up and
// down along the path; one point missing throughout, one missing only in component 2.
double value(int x, int y, int z, int c) {
    if (x == 1 && y == 1 && z == 0)
        return -9999.0;
    if (x == 2 && y == 0 && z == 1 && c == 2)
        return -9999.0;
    return 10.0 + 7.0 * x + 11.0 * y + 23.0 * z + ((c * 37 + x * 5) % 41) - 3.0 * c;
}

// The grid text file of the components in `keep` (counted from 0), in that order.
std::string grid_text(const std::vector<int>& keep) {
    std::string text = std::to_string(nz) + " " + std::to_string(ny) + " " + std::to_string(nx) +
                       " " + std::to_string(keep.size()) + "\n";
    char number[32];
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                text += std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z);
                for (int c : keep) {
                    std::snprintf(number, sizeof number, " %.2f", value(x, y, z, c));
                    text += number;
                }
                text += "\n";
            }
    return text;
}

class BatchComponents : public ::testing::Test {
protected:
    TempDir dir;
    std::string grid = dir.write("all.txt", grid_text({0, 1, 2, 3, 4}));

    // The colour volume of `classify` on `path` with more words; empty when it failed.
    std::string classify(const std::string& path, const std::string& words = "") {
        const std::string out = dir.file("out.raw");
        std::remove(out.c_str());
        const ProgramRun r =
            run("classify " + shell_quote(path) + " --curves " + shell_quote(curves) +
                " --output " + shell_quote(out) + " " + words);
        EXPECT_EQ(r.status, 0) << words << ": " << r.err;
        return r.status == 0 ? read_text(out) : std::string();
    }
    ProgramRun render(const std::string& output, const std::string& words) {
        return run("render " + shell_quote(grid) + " --curves " + shell_quote(curves) +
                   " --size 64x48 --distance 40 --tilt 0.4 --output " + shell_quote(output) + " " +
                   words);
    }
    // One picture of the grid with `words`, for comparing with a sequence's.
    std::string picture(const std::string& words) {
        const std::string png = dir.file("one.png");
        const ProgramRun r = render(png, words);
        EXPECT_EQ(r.status, 0) << words << ": " << r.err;
        return read_text(png);
    }
};

} // namespace

TEST_F(BatchComponents, window_classifies_as_a_grid_of_only_those_components) {
    const std::string whole = classify(grid);
    ASSERT_EQ(whole.size(), std::size_t(nx) * ny * nz * 4 * 4);
    // The window of every component is the plain classification.
    EXPECT_EQ(classify(grid, "--window 1:5"), whole);
    EXPECT_NE(classify(grid, "--window 2:4"), whole);
    const struct {
        const char* window;
        std::vector<int> keep;
    } cases[] = {
        {"2:4", {1, 2, 3}}, // through the point missing in component 3: it decides nothing
        {"3:5", {2, 3, 4}}, // starting at it: that point is missing
        {"4:5", {3, 4}},    // the last two
        {"1:2", {0, 1}},    // the first two
        {"2", {1, 1}},      // one component: a path that stays at its value
        {"5:5", {4, 4}},
    };
    for (const auto& c : cases) {
        const std::string only = dir.write("only.txt", grid_text(c.keep));
        EXPECT_EQ(classify(grid, std::string("--window ") + c.window), classify(only))
            << "--window " << c.window;
    }
    // Either integration: the window is the path both walk.
    const std::string only = dir.write("only.txt", grid_text({1, 2, 3}));
    EXPECT_EQ(classify(grid, "--window 2:4 --integration forward"),
              classify(only, "--integration forward"));
}

TEST_F(BatchComponents, window_words_are_checked) {
    const std::string out = dir.file("out.raw");
    for (const char* bad : {"0:2", "3:2", "a:b", "1:", ":3", "-1:2", "1:2:3", "1.5:2", "' 2:3'"}) {
        const ProgramRun r =
            run("classify " + shell_quote(grid) + " --curves " + shell_quote(curves) +
                " --output " + shell_quote(out) + " --window " + bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--window needs FIRST:LAST"), std::string::npos) << bad << r.err;
    }
    // Well formed but past the grid's components: a failure naming them, nothing written.
    for (const std::string command : {"classify", "render"}) {
        const ProgramRun r =
            run(command + " " + shell_quote(grid) + " --curves " + shell_quote(curves) +
                " --output " + shell_quote(out) + " --window 4:6");
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find("--window 4:6 ends past the grid's 5 components"), std::string::npos)
            << r.err;
        EXPECT_FALSE(file_exists(out));
    }
}

TEST_F(BatchComponents, frames_slide_the_window_from_the_first_component) {
    const std::string base = dir.file("f");
    ProgramRun r = render(base + ".png", "--window 3:4 --frames");
    ASSERT_EQ(r.status, 0) << r.err;
    // Five components, a width of two: four pictures, from 1:2 to 4:5.
    for (int k = 0; k < 4; ++k) {
        const std::string name = base + "-00" + std::to_string(k) + ".png";
        ASSERT_TRUE(file_exists(name)) << name;
        EXPECT_EQ(read_text(name),
                  picture("--window " + std::to_string(k + 1) + ":" + std::to_string(k + 2)))
            << name;
    }
    EXPECT_FALSE(file_exists(base + "-004.png"));
    EXPECT_FALSE(file_exists(base + ".png"));
    // Without --window the one position is every component: today's picture. An output
    // without ".png" gets it after the number.
    const std::string all = dir.file("all");
    r = render(all, "--frames");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(all + "-000.png"), picture(""));
    EXPECT_FALSE(file_exists(all + "-001.png"));
}

TEST_F(BatchComponents, turntable_turns_once_about_the_up_axis) {
    const std::string base = dir.file("t");
    const ProgramRun r = render(base + ".png", "--window 2:3 --turntable 4");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int k = 0; k < 4; ++k)
        EXPECT_TRUE(file_exists(base + "-00" + std::to_string(k) + ".png")) << k;
    EXPECT_FALSE(file_exists(base + "-004.png"));
    // The first picture is the camera as placed; half way round is a spin of pi.
    EXPECT_EQ(read_text(base + "-000.png"), picture("--window 2:3"));
    EXPECT_EQ(read_text(base + "-002.png"), picture("--window 2:3 --spin 3.141592653589793"));
    EXPECT_NE(read_text(base + "-001.png"), read_text(base + "-000.png"));

    for (const char* bad :
         {"--turntable 0", "--turntable x", "--turntable 36001", "--turntable 3 --frames"}) {
        const ProgramRun refused = render(base + ".png", bad);
        EXPECT_EQ(refused.status, 2) << bad;
        EXPECT_NE(refused.err.find("--turntable"), std::string::npos) << bad << refused.err;
    }
}

TEST(ComponentSteps, windows_slide_and_wrap) {
    EXPECT_EQ(window_positions(3, 12), 10);
    EXPECT_EQ(window_positions(12, 12), 1);
    EXPECT_EQ(window_positions(13, 12), 0);
    EXPECT_EQ(window_positions(0, 12), 0);
    EXPECT_EQ(next_window_first(0, 3, 12), 1);
    EXPECT_EQ(next_window_first(9, 3, 12), 0); // after the last position, the first
    EXPECT_EQ(next_window_first(0, 12, 12), 0);
    int first = 0, last = 0;
    EXPECT_TRUE(parse_component_window("3:12", first, last));
    EXPECT_EQ(first, 3);
    EXPECT_EQ(last, 12);
    EXPECT_TRUE(parse_component_window("7", first, last));
    EXPECT_EQ(first, 7);
    EXPECT_EQ(last, 7);
    EXPECT_EQ(component_window_misfit(1, 12, 12), "");
    EXPECT_EQ(component_window_misfit(2, 2, 1), "--window 2:2 ends past the grid's 1 component");
}

TEST(ComponentSteps, coordinates_as_a_person_reads_them) {
    GridAxis time;
    time.name = "TIME";
    time.extent = 4;
    time.values = {105.0, 0.5, 31.0 + 28.0, -1.0};
    time.units = "days since 2001-01-01 00:00:00";
    EXPECT_EQ(component_coordinate_text(time, 0), "2001-04-16");
    EXPECT_EQ(component_coordinate_text(time, 1), "2001-01-01 12:00");
    EXPECT_EQ(component_coordinate_text(time, 2), "2001-03-01"); // not a leap year
    EXPECT_EQ(component_coordinate_text(time, 3), "2000-12-31");
    EXPECT_EQ(component_coordinate_text(time, 4), ""); // past the values
    time.units = "hours since 1999-12-31T12:00:00";
    EXPECT_EQ(component_coordinate_text(time, 0), "2000-01-04 21:00");
    // Months have no fixed length: the number and the units as the file gives them.
    time.units = "months since 2000-01-01";
    EXPECT_EQ(component_coordinate_text(time, 1), "0.5 months since 2000-01-01");
    time.units = "m";
    EXPECT_EQ(component_coordinate_text(time, 0), "105 m");
    time.values.clear();
    EXPECT_EQ(component_coordinate_text(time, 0), "");
}

TEST(ComponentSteps, the_label_names_the_window) {
    GridDescription d;
    EXPECT_EQ(component_window_label(d, 2, 2, 12), "Component 3 of 12");
    EXPECT_EQ(component_window_label(d, 2, 4, 12), "Components 3-5 of 12");
    d.components.name = "TIME";
    d.components.extent = 2;
    d.components.values = {105.0, 287.0};
    d.components.units = "days since 2001-01-01 00:00:00";
    EXPECT_EQ(component_window_label(d, 1, 1, 2), "Component 2 of 2: TIME 2001-10-15");
    EXPECT_EQ(component_window_label(d, 0, 1, 2),
              "Components 1-2 of 2: TIME 2001-04-16 to 2001-10-15");
    GridDescription v;
    v.variables = {{"SST", "", "degC"}, {"AIRT", "", "degC"}};
    EXPECT_EQ(component_window_label(v, 0, 1, 2), "Components 1-2 of 2: SST, AIRT");
}

// Playback's cache of classified windows gives a classification's bits, and never a window
// classified through other curves, settings or data.
TEST(WindowCacheTest, copies_back_only_what_a_classification_would_give) {
    Scene scene;
    Volume& d = scene.data_volume;
    ASSERT_TRUE(d.allocate(nx, ny, nz, components));
    d.valid = true;
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                for (int c = 0; c < components; ++c)
                    d.samples[d.flat_index(x, y, z, c)] = static_cast<float>(value(x, y, z, c));
    ASSERT_TRUE(scene.colour_volume.allocate(nx, ny, nz, 4));
    scene.colour_volume.rgba = true;
    for (TransferFunction& c : scene.curves) {
        c.insert(0.3, 0.6);
        c.update_segments();
    }
    const auto colours = [&] {
        const Volume& v = scene.colour_volume;
        return std::vector<float>(v.samples, v.samples + v.sample_count());
    };
    const auto plain = [&] {
        EXPECT_TRUE(scene.classify_all());
        return colours();
    };
    const auto cached = [&] {
        EXPECT_TRUE(scene.classify_window_cached());
        return colours();
    };
    // Fill the cache with two windows, then ask for each again after the other.
    ASSERT_TRUE(scene.set_component_window(1, 2));
    const std::vector<float> a = cached();
    ASSERT_TRUE(scene.set_component_window(2, 3));
    const std::vector<float> b = cached();
    EXPECT_NE(a, b);
    ASSERT_TRUE(scene.set_component_window(1, 2));
    EXPECT_EQ(cached(), a);
    EXPECT_EQ(plain(), a);
    // A curve edited, a setting changed, new data: classified anew, not copied.
    scene.curves[3].insert(0.7, 0.9);
    scene.curves[3].update_segments();
    ASSERT_TRUE(scene.set_component_window(2, 3));
    const std::vector<float> edited = cached();
    EXPECT_NE(edited, b);
    EXPECT_EQ(edited, plain());
    scene.missing_data = MissingData::hidden;
    EXPECT_EQ(cached(), plain());
    scene.missing_data = MissingData::grey;
    d.samples[d.flat_index(3, 2, 1, 2)] += 20.0f;
    scene.data_replaced();
    const std::vector<float> moved = cached();
    EXPECT_EQ(moved, plain());
    EXPECT_NE(moved, edited);
}
