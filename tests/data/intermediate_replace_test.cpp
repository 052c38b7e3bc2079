#include "grid_import.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string good_text = "1 1 2 1\n  0 0 0 5\n  0 0 0 7\n";
// Passes the size check; the conversion then finds the missing line.
const std::string short_text = "1 1 3 1\n  0 0 0 5\n  0 0 0 7\n";
const std::vector<unsigned char> good_bytes = {0, 0, 0xa0, 0x40, 0, 0, 0xe0, 0x40}; // 5, 7
const std::vector<unsigned char> old_bytes = {'o', 'l', 'd'};

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

} // namespace

TEST(IntermediateReplace, FailureOrCancelLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    const std::string dat = dir.write("g.txt.dat", "old");
    EXPECT_FALSE(run(dir.write("g.txt", short_text)).ok);
    EXPECT_EQ(read_bytes(dat), old_bytes);
    EXPECT_TRUE(run(dir.write("g.txt", good_text), "", 0).cancelled);
    EXPECT_EQ(read_bytes(dat), old_bytes);
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{"g.txt", "g.txt.dat"}));
}

TEST(IntermediateReplace, SuccessKeepsTheOldModeOrGivesAPlainCreatesMode) {
    TempDir dir;
    const std::string dat = dir.write("g.txt.dat", "old");
    ASSERT_EQ(chmod(dat.c_str(), 0640), 0);
    const std::string grid = dir.write("g.txt", good_text);
    ASSERT_TRUE(run(grid).ok);
    EXPECT_EQ(read_bytes(dat), good_bytes);
    EXPECT_EQ(fs::status(dat).permissions(), fs::perms(0640));
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{"g.txt", "g.txt.dat"}));

    const mode_t mask = umask(0);
    umask(mask);
    ASSERT_TRUE(run(grid, dir.file("new.dat")).ok);
    EXPECT_EQ(fs::status(dir.file("new.dat")).permissions(), fs::perms(0666 & ~mask));
}

TEST(IntermediateReplace, SymbolicLinksStayAndTheirFinalTargetReceivesTheFile) {
    TempDir dir;
    const std::string real = dir.write("real.dat", "old");
    fs::create_symlink("real.dat", dir.file("middle"));
    fs::create_symlink("middle", dir.file("g.txt.dat"));
    fs::create_directory(dir.file("sub"));
    fs::create_symlink("sub/new.dat", dir.file("d.dat")); // dangling
    EXPECT_FALSE(run(dir.write("g.txt", short_text)).ok);
    EXPECT_FALSE(run(dir.file("g.txt"), dir.file("d.dat")).ok);
    EXPECT_EQ(read_bytes(real), old_bytes);
    EXPECT_TRUE(fs::is_empty(dir.file("sub"))); // the temporary file sat beside the target

    const std::string grid = dir.write("g.txt", good_text);
    ASSERT_TRUE(run(grid).ok);
    ASSERT_TRUE(run(grid, dir.file("d.dat")).ok);
    EXPECT_EQ(read_bytes(real), good_bytes);
    EXPECT_EQ(read_bytes(dir.file("sub/new.dat")), good_bytes);
    EXPECT_EQ(fs::read_symlink(dir.file("g.txt.dat")), "middle");
    EXPECT_EQ(fs::read_symlink(dir.file("d.dat")), "sub/new.dat");
}

TEST(IntermediateReplace, WithoutRoomForATemporaryNameTheTargetIsWrittenInPlace) {
    // A 250-byte name leaves no room for the longer temporary name beside it.
    TempDir dir;
    const std::string dat = dir.file(std::string(250, 'd'));
    EXPECT_FALSE(run(dir.write("g.txt", short_text), dat).ok);
    EXPECT_EQ(names_in(dir.file("")), std::set<std::string>{"g.txt"}); // created, then removed
    ASSERT_TRUE(run(dir.write("g.txt", good_text), dat).ok);
    EXPECT_EQ(read_bytes(dat), good_bytes);
}

TEST(IntermediateReplace, FifoWithAReaderIsWrittenButNotReadBack) {
    TempDir dir;
    const std::string fifo = dir.file("pipe.dat");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK); // 8 bytes fit its buffer
    Volume data, colour;
    ScriptedPrompts p;
    ImportOptions options;
    options.intermediate_path = fifo;
    const ImportResult r = import_grid(dir.write("g.txt", good_text), data, colour, p, options);
    std::vector<unsigned char> got(16);
    got.resize(static_cast<std::size_t>(std::max<ssize_t>(0, read(reader, got.data(), 16))));
    close(reader);
    EXPECT_EQ(got, good_bytes);
    // What went to the reader is not taken back from it: the read-back fails, as for
    // /dev/null, without a message.
    EXPECT_EQ(r.error, "ERROR: \"" + fifo + "\" could not be read back");
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(data.samples, nullptr);
}
