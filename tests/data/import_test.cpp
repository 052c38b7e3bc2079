#include "grid_import.h"
#include "raw_volume.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

std::vector<unsigned char> floats_le(std::initializer_list<float> values) {
    std::vector<unsigned char> out;
    for (float v : values) {
        unsigned char b[4];
        std::memcpy(b, &v, 4);
        out.insert(out.end(), b, b + 4);
    }
    return out;
}

// A loaded 2 x 2 x 2 grid, so that failed imports can be checked to leave it alone.
struct Loaded {
    Volume data;
    Volume colour;
    TempDir dir;
    Loaded() {
        ScriptedPrompts p;
        const std::string grid = dir.write("first.txt", "2 2 2 1\n"
                                                        "  0 0 0 1\n  0 0 0 2\n  0 0 0 3\n"
                                                        "  0 0 0 4\n  0 0 0 5\n  0 0 0 6\n"
                                                        "  0 0 0 7\n  0 0 0 8\n");
        EXPECT_TRUE(import_grid(grid, data, colour, p).ok);
        colour.valid = true;
    }
    void expect_unchanged() const {
        EXPECT_EQ(data.nx, 2);
        EXPECT_EQ(data.ncomp, 1);
        EXPECT_TRUE(data.valid);
        EXPECT_EQ(data.stat_count, 8);
        EXPECT_EQ(data.max_value(), 8.0);
        EXPECT_EQ(data.mean_value(), 4.5);
        EXPECT_EQ(data.samples[1], 1.0f); // mirrored along x
        EXPECT_EQ(colour.nx, 2);
        EXPECT_EQ(colour.ncomp, 4);
        EXPECT_NE(colour.samples, nullptr);
        EXPECT_TRUE(colour.valid);
    }
};

std::string lines(int n, const std::string& line) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += line;
    return s;
}

} // namespace

TEST(Import, HeaderOrderAndXFastest) {
    TempDir dir;
    std::string text = "2 3 4 1\n";
    for (int i = 0; i < 24; ++i)
        text += "  9 9 9 " + std::to_string(i) + "\n";
    const std::string grid = dir.write("grid.txt", text);
    Volume data, colour;
    ScriptedPrompts p;
    const ImportResult r = import_grid(grid, data, colour, p);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(r.intermediate_path, grid + ".dat");
    const auto bytes = read_bytes(grid + ".dat");
    ASSERT_EQ(bytes.size(), 96u);
    EXPECT_EQ(bytes, floats_le({0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));
    EXPECT_EQ(data.nx, 4);
    EXPECT_EQ(data.ny, 3);
    EXPECT_EQ(data.nz, 2);
    EXPECT_EQ(data.sample(0, 0, 0), 3.0f); // mirrored: file column 3 lands at x = 0
    EXPECT_EQ(data.sample(3, 2, 1), 20.0f);
    EXPECT_EQ(colour.nx, 4);
    EXPECT_EQ(colour.ncomp, 4);
    EXPECT_NE(colour.samples, nullptr);
}

TEST(Import, FieldsAndMissingNumbersOnALine) {
    TempDir dir;
    const std::string grid = dir.write("g.txt", "1 1 4 2\n"
                                                "  7 8 9 1.5 2.5\n"
                                                "1 2 3 4\n"         // one component: repeats 4
                                                "1 2\n"             // nothing for components: 2
                                                "x y z\tq 3.25\n"); // tab does not separate
    Volume data, colour;
    ScriptedPrompts p;
    ASSERT_TRUE(import_grid(grid, data, colour, p).ok);
    EXPECT_EQ(read_bytes(grid + ".dat"), floats_le({1.5f, 2.5f, 4, 4, 2, 2, 3.25f, 3.25f}));
}

TEST(Import, EveryLineIsReadFromItsFirstCharacter) {
    // Short first fields used to lose two characters of every line after the first.
    TempDir dir;
    const std::string grid = dir.write("g.txt", "1 1 3 1\n1 2 3 10\n4 5 6 20\n7 8 9 30\n");
    Volume data, colour;
    ScriptedPrompts p;
    ASSERT_TRUE(import_grid(grid, data, colour, p).ok);
    EXPECT_EQ(read_bytes(grid + ".dat"), floats_le({10, 20, 30}));
}

TEST(Import, LongLinesCrLfAndMissingFinalNewline) {
    TempDir dir;
    const std::string pad(3000, '0');
    const std::string grid = dir.write("g.txt", "1 1 3 2\r\n  " + pad + "1 2 3 4.5 " + pad +
                                                    "6\r\n  1 2 3 7 8\n  1 2 3 9 10");
    Volume data, colour;
    ScriptedPrompts p;
    ASSERT_TRUE(import_grid(grid, data, colour, p).ok);
    EXPECT_EQ(read_bytes(grid + ".dat"), floats_le({4.5f, 6, 7, 8, 9, 10}));
}

TEST(Import, ExistingIntermediateIsOverwritten) {
    TempDir dir;
    const std::string grid = dir.write("a.txt", "1 1 1 1\n  0 0 0 2\n");
    dir.write("a.txt.dat", std::string(1000, 'x'));
    Volume data, colour;
    ScriptedPrompts p;
    ASSERT_TRUE(import_grid(grid, data, colour, p).ok);
    EXPECT_EQ(read_bytes(dir.file("a.txt.dat")), floats_le({2}));
}

TEST(Import, ShortFileIsRefusedAndItsPartialOutputRemoved) {
    Loaded l;
    // Long enough that the size check cannot tell; the conversion finds the end.
    const std::string grid =
        l.dir.write("short.txt", "2 2 2 1\n" + lines(5, "  1 2 3 4.0000000000000\n"));
    ScriptedPrompts p;
    const ImportResult r = import_grid(grid, l.data, l.colour, p);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], "ERROR: \"" + grid + "\" ends after 5 of 8 data lines");
    EXPECT_FALSE(file_exists(grid + ".dat"));
    l.expect_unchanged();
}

TEST(Import, FileShorterThanItsLineCountIsRefusedBeforeWriting) {
    Loaded l;
    const std::string grid = l.dir.write("tiny.txt", "100000 100000 100000 1\n1\n2\n");
    l.dir.write("tiny.txt.dat", "keep");
    ScriptedPrompts p;
    EXPECT_FALSE(import_grid(grid, l.data, l.colour, p).ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], "ERROR: \"" + grid + "\" ends after 2 of 1000000000000000 data lines");
    EXPECT_EQ(read_bytes(grid + ".dat").size(), 4u); // not even truncated
    l.expect_unchanged();
}

TEST(Import, BadHeadersAreRefused) {
    Loaded l;
    int n = 0;
    for (const char* header :
         {"", "\n", "2 3 x 1\n", "0 1 1 1\n", "1 1 1 -2\n", "1 1 1\n", "4,4,4,1\n",
          "1 1 1 99999999999\n", "2147483647 2147483647 2147483647 1\n", "1 1 1 2147483648\n"}) {
        const std::string grid =
            l.dir.write("h" + std::to_string(n++) + ".txt", std::string(header) + "  0 0 0 4\n");
        ScriptedPrompts p;
        EXPECT_FALSE(import_grid(grid, l.data, l.colour, p).ok) << header;
        ASSERT_EQ(p.messages.size(), 1u) << header;
        EXPECT_EQ(p.messages[0],
                  "ERROR: \"" + grid + "\" does not begin with a header of four positive integers");
        EXPECT_FALSE(file_exists(grid + ".dat")) << header;
    }
    l.expect_unchanged();
}

TEST(Import, GridTooLargeForMemoryIsReported) {
    Loaded l;
    // 1024 points of 500 million components: 2 TB of samples, on lines of a few bytes.
    const std::string grid =
        l.dir.write("big.txt", "1024 1 1 500000000\n" + lines(1024, "1 2 3 4\n"));
    ScriptedPrompts p;
    EXPECT_FALSE(import_grid(grid, l.data, l.colour, p).ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0],
              "ERROR: not enough memory for a 1 x 1 x 1024 grid with 500000000 components");
    EXPECT_FALSE(file_exists(grid + ".dat"));
    l.expect_unchanged();
}

TEST(Import, UnreadableGridAndCancelledOpenDialog) {
    Loaded l;
    for (const std::string& path : {std::string(), l.dir.file("none.txt"), l.dir.file("")}) {
        ScriptedPrompts p;
        EXPECT_FALSE(import_grid(path, l.data, l.colour, p).ok);
        ASSERT_EQ(p.messages.size(), 1u);
        EXPECT_EQ(p.messages[0], "ERROR: \"" + path + "\" is not a valid file or is not readable");
    }
    l.expect_unchanged();
}

TEST(Import, ControlCharactersInFileNamesAreQuotedInMessages) {
    TempDir dir;
    Volume data, colour;
    ScriptedPrompts p;
    // A line break, a tab, an escape, DEL, the C1 control NEL and the line separator U+2028.
    EXPECT_FALSE(
        import_grid(dir.file("a\nb\tc\x1b\x7f\xc2\x85\xe2\x80\xa8.txt"), data, colour, p).ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], "ERROR: \"" + dir.file("a\\nb\\tc\\x1b\\x7f\\u0085\\u2028.txt") +
                                 "\" is not a valid file or is not readable");
    // Other characters stay as they are.
    const std::string grid = dir.write("\xc3\xa9t\xc3\xa9.txt", "1 1 2 1\n  0 0 0 6\n");
    ScriptedPrompts q;
    EXPECT_FALSE(import_grid(grid, data, colour, q).ok);
    EXPECT_EQ(q.messages,
              std::vector<std::string>{"ERROR: \"" + grid + "\" ends after 1 of 2 data lines"});
}

TEST(Import, UnwritableIntermediateAsksForAnotherPath) {
    Loaded l;
    const std::string grid = l.dir.write("g.txt", "1 1 1 1\n  0 0 0 6\n");
    ImportOptions options;
    options.intermediate_path = l.dir.file("no/such/folder/g.dat");

    ScriptedPrompts cancel;
    EXPECT_FALSE(import_grid(grid, l.data, l.colour, cancel, options).ok);
    EXPECT_EQ(cancel.messages,
              (std::vector<std::string>{"Please select intermediate file for data transformation",
                                        "Select of intermediate file failed\n\"" +
                                            options.intermediate_path +
                                            "\": No such file or directory"}));
    EXPECT_EQ(cancel.save_initial, std::vector<std::string>{options.intermediate_path});
    l.expect_unchanged();

    ScriptedPrompts bad;
    bad.save_answer = l.dir.file("still/missing.dat");
    EXPECT_FALSE(import_grid(grid, l.data, l.colour, bad, options).ok);
    ASSERT_EQ(bad.messages.size(), 2u);
    EXPECT_EQ(bad.messages[1], "Error: \"" + bad.save_answer +
                                   "\" is not a valid intermediate file, or is not writable");
    l.expect_unchanged();

    ScriptedPrompts good;
    good.save_answer = l.dir.file("chosen.dat");
    const ImportResult r = import_grid(grid, l.data, l.colour, good, options);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.intermediate_path, good.save_answer);
    EXPECT_EQ(read_bytes(good.save_answer), floats_le({6}));
    EXPECT_EQ(l.data.nx, 1);
}

TEST(Import, IntermediateNeverOverwritesTheGrid) {
    Loaded l;
    const std::string text = "1 1 1 1\n  0 0 0 6\n";
    const std::string grid = l.dir.write("g.txt", text);
    ImportOptions options;
    options.intermediate_path = grid;
    ScriptedPrompts p;
    p.save_answer = grid;
    EXPECT_FALSE(import_grid(grid, l.data, l.colour, p, options).ok);
    EXPECT_EQ(read_bytes(grid).size(), text.size());
    l.expect_unchanged();
}

TEST(Import, WriteFailureIsReportedAndNothingChanges) {
    Loaded l;
    const std::string grid = l.dir.write("g.txt", "4 4 4 1\n" + lines(64, "  0 0 0 6\n"));
    ImportOptions options;
    options.intermediate_path = "/dev/full";
    ScriptedPrompts p;
    EXPECT_FALSE(import_grid(grid, l.data, l.colour, p, options).ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], "Error: \"/dev/full\" could not be written completely");
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0); // a device is never removed
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    l.expect_unchanged();
}

TEST(Import, FailedReadBackShowsNothingAndChangesNothing) {
    Loaded l;
    const std::string grid = l.dir.write("g.txt", "1 1 1 1\n  0 0 0 6\n");
    ImportOptions options;
    options.intermediate_path = "/dev/null"; // takes every write, reads back nothing
    ScriptedPrompts p;
    const ImportResult r = import_grid(grid, l.data, l.colour, p, options);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(r.error, "ERROR: \"/dev/null\" could not be read back");
    l.expect_unchanged();
}

TEST(Import, FullFileSystemIsReportedAndThePartialFileRemoved) {
    Loaded l;
    // A 64 KiB file system that an 80,000-byte intermediate file cannot fit in.
    const std::string small = l.dir.file("small");
    ASSERT_EQ(mkdir(small.c_str(), 0700), 0);
    if (mount("halvorn-test", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const std::string grid = l.dir.write("g.txt", "10000 1 1 2\n" + lines(10000, "  0 0 0 6 7\n"));
    ImportOptions options;
    options.intermediate_path = small + "/g.dat";
    ScriptedPrompts p;
    const bool ok = import_grid(grid, l.data, l.colour, p, options).ok;
    const bool left_behind = file_exists(options.intermediate_path);
    umount(small.c_str());
    EXPECT_FALSE(ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0],
              "Error: \"" + options.intermediate_path + "\" could not be written completely");
    EXPECT_FALSE(left_behind);
    l.expect_unchanged();
}

TEST(Import, CancelLeavesVolumesAndRemovesOutput) {
    Loaded l;
    const std::string grid = l.dir.write("g.txt", "1 1 1 1\n  0 0 0 6\n");
    ScriptedPrompts p;
    p.cancel_after = 0;
    const ImportResult r = import_grid(grid, l.data, l.colour, p);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(p.messages.empty());
    EXPECT_FALSE(file_exists(grid + ".dat"));
    l.expect_unchanged();
}

TEST(Import, CommaLocaleDoesNotChangeParsing) {
    TempDir dir;
    const std::string grid = dir.write("g.txt", "1 1 1 2\n  0 0 0 1.5 2,5\n");
    const std::string old = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup.sh installs it";
    Volume data, colour;
    ScriptedPrompts p;
    const bool ok = import_grid(grid, data, colour, p).ok;
    std::setlocale(LC_ALL, old.c_str());
    ASSERT_TRUE(ok);
    EXPECT_EQ(read_bytes(grid + ".dat"), floats_le({1.5f, 2.0f}));
}

TEST(Import, ColourVolumeSamplesStartAtZero) {
    Loaded l;
    std::fill(l.colour.samples, l.colour.samples + l.colour.sample_count(), 0.75f);
    // Freed arrays of the colour volume's size, full of colour, for the allocator to hand out
    // again: an unset array would show their values.
    for (int i = 0; i < 4; ++i) {
        Volume stale;
        ASSERT_TRUE(stale.allocate(2, 2, 2, 4));
        std::fill(stale.samples, stale.samples + stale.sample_count(), 1.0f);
    }
    const std::string grid = l.dir.write("second.txt", "2 2 2 1\n" + lines(8, "  0 0 0 3\n"));
    ScriptedPrompts p;
    ASSERT_TRUE(import_grid(grid, l.data, l.colour, p).ok);
    ASSERT_EQ(l.colour.sample_count(), 32);
    EXPECT_TRUE(
        std::all_of(l.colour.samples, l.colour.samples + 32, [](float v) { return v == 0.0f; }));
}

TEST(Import, GridWithoutValidSamplesKeepsMinimumAndMaximum) {
    Loaded l; // samples 1 to 8
    const std::string grid = l.dir.write("missing.txt", "2 2 2 1\n" + lines(8, "  0 0 0 -9999\n"));
    ScriptedPrompts p;
    ASSERT_TRUE(import_grid(grid, l.data, l.colour, p).ok);
    EXPECT_EQ(l.data.stat_count, 0);
    EXPECT_FALSE(l.data.valid);
    EXPECT_EQ(l.data.min_value(), 1.0);
    EXPECT_EQ(l.data.max_value(), 8.0);
    EXPECT_TRUE(std::isnan(l.data.mean_value()));
    EXPECT_EQ(l.data.samples[0], -9999.0f);
}
