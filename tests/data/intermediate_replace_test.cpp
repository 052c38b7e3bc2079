#include "grid_import.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string good_text = "1 1 2 1\n  0 0 0 5\n  0 0 0 7\n";
// Long enough to pass the size check; the conversion finds the missing line.
const std::string short_text = "1 1 3 1\n  0 0 0 5\n  0 0 0 7\n";
const std::vector<unsigned char> good_bytes = {0, 0, 0xa0, 0x40, 0, 0, 0xe0, 0x40}; // 5, 7
const std::vector<unsigned char> previous = {'o', 'l', 'd'};

std::set<std::string> names_in(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

ImportResult run(const std::string& grid, const std::string& intermediate = "",
                 int cancel_after = 1 << 30) {
    Volume data, colour;
    ScriptedPrompts p;
    p.cancel_after = cancel_after;
    ImportOptions options;
    options.intermediate_path = intermediate;
    return import_grid(grid, data, colour, p, options);
}

unsigned mode_of(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(IntermediateReplace, FailureOrCancelLeavesTheOldFileAsItWas) {
    TempDir dir;
    const std::string dat = dir.write("g.txt.dat", "old");
    const std::string short_grid = dir.write("g.txt", short_text);
    EXPECT_FALSE(run(short_grid).ok);
    EXPECT_EQ(read_bytes(dat), previous);
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{"g.txt", "g.txt.dat"}));

    dir.write("g.txt", good_text);
    const ImportResult r = run(dir.file("g.txt"), "", 0);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(read_bytes(dat), previous);
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{"g.txt", "g.txt.dat"}));
}

TEST(IntermediateReplace, SuccessReplacesTheFileWithItsModeOrAPlainCreatesMode) {
    TempDir dir;
    const std::string dat = dir.write("g.txt.dat", "old");
    ASSERT_EQ(chmod(dat.c_str(), 0640), 0);
    const std::string grid = dir.write("g.txt", good_text);
    ASSERT_TRUE(run(grid).ok);
    EXPECT_EQ(read_bytes(dat), good_bytes);
    EXPECT_EQ(mode_of(dat), 0640u);
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{"g.txt", "g.txt.dat"}));

    const mode_t mask = umask(0);
    umask(mask);
    ASSERT_TRUE(run(grid, dir.file("new.dat")).ok);
    EXPECT_EQ(mode_of(dir.file("new.dat")), 0666u & ~mask);
}

TEST(IntermediateReplace, SymbolicLinksStayAndTheirTargetReceivesTheFile) {
    TempDir dir;
    const std::string real = dir.write("real.dat", "old");
    fs::create_symlink("real.dat", dir.file("middle"));
    fs::create_symlink("middle", dir.file("g.txt.dat")); // a chain of two links
    const std::string grid = dir.write("g.txt", short_text);
    EXPECT_FALSE(run(grid).ok);
    EXPECT_EQ(read_bytes(real), previous);
    EXPECT_EQ(fs::read_symlink(dir.file("g.txt.dat")), "middle");
    EXPECT_EQ(names_in(dir.file("")),
              (std::set<std::string>{"g.txt", "g.txt.dat", "middle", "real.dat"}));

    dir.write("g.txt", good_text);
    ASSERT_TRUE(run(grid).ok);
    EXPECT_EQ(read_bytes(real), good_bytes);
    EXPECT_EQ(fs::read_symlink(dir.file("g.txt.dat")), "middle");
    EXPECT_EQ(fs::read_symlink(dir.file("middle")), "real.dat");
}

TEST(IntermediateReplace, DanglingLinkGetsItsTargetOnlyOnSuccess) {
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    fs::create_symlink("sub/new.dat", dir.file("g.txt.dat"));
    const std::string grid = dir.write("g.txt", short_text);
    EXPECT_FALSE(run(grid).ok);
    EXPECT_TRUE(fs::is_symlink(dir.file("g.txt.dat")));
    EXPECT_TRUE(fs::is_empty(dir.file("sub"))); // no temporary file left in the target's folder

    dir.write("g.txt", good_text);
    ASSERT_TRUE(run(grid).ok);
    EXPECT_EQ(read_bytes(dir.file("sub/new.dat")), good_bytes);
    EXPECT_EQ(fs::read_symlink(dir.file("g.txt.dat")), "sub/new.dat");
}

TEST(IntermediateReplace, WithoutRoomForATemporaryNameTheTargetIsWrittenInPlace) {
    // A name of 250 bytes leaves no room for a longer temporary name beside it.
    TempDir dir;
    const std::string dat = dir.file(std::string(250, 'd'));
    const std::string grid = dir.write("g.txt", short_text);
    EXPECT_FALSE(run(grid, dat).ok);
    EXPECT_EQ(names_in(dir.file("")), std::set<std::string>{"g.txt"}); // created, then removed

    dir.write("g.txt", good_text);
    ASSERT_TRUE(run(grid, dat).ok);
    EXPECT_EQ(read_bytes(dat), good_bytes);
}
