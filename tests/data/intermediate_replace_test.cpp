#include "child_process.h"
#include "grid_import.h"
#include "output_file.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>
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

TEST(IntermediateReplace, failure_or_cancel_leaves_the_old_file_and_no_temporary_file) {
    TempDir dir;
    const std::string dat = dir.write("g.txt.dat", "old");
    EXPECT_FALSE(run(dir.write("g.txt", short_text)).ok);
    EXPECT_EQ(read_bytes(dat), old_bytes);
    EXPECT_TRUE(run(dir.write("g.txt", good_text), "", 0).cancelled);
    EXPECT_EQ(read_bytes(dat), old_bytes);
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{"g.txt", "g.txt.dat"}));
}

TEST(IntermediateReplace, success_keeps_the_old_mode_or_gives_a_plain_creates_mode) {
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

// A large replaced file loses its name at once (its blocks are freed on a thread of their own,
// which this cannot see): the folder holds the new file alone.
TEST(IntermediateReplace, a_large_old_file_is_gone_as_soon_as_the_new_one_is_in_place) {
    TempDir dir;
    const std::string dat = dir.write("g.txt.dat", std::string(std::size_t{9} << 20, 'o'));
    ASSERT_TRUE(run(dir.write("g.txt", good_text)).ok);
    EXPECT_EQ(read_bytes(dat), good_bytes);
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{"g.txt", "g.txt.dat"}));
}

TEST(IntermediateReplace, symbolic_links_stay_and_their_final_target_receives_the_file) {
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

TEST(IntermediateReplace, long_names_get_a_shorter_temporary_name_and_keep_the_old_file) {
    // A grid name of 251 bytes: the intermediate file's name takes all 255 a name may have.
    TempDir dir;
    const std::string name(251, 'g');
    const std::string dat = dir.write(name + ".dat", "old");
    EXPECT_FALSE(run(dir.write(name, short_text)).ok);
    EXPECT_EQ(read_bytes(dat), old_bytes);
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{name, name + ".dat"}));

    // The new file is written beside the old one, to be renamed over it.
    Volume data, colour;
    ScriptedPrompts p;
    std::size_t beside = 0;
    p.on_progress = [&](ImportStage stage) {
        if (stage == ImportStage::converting)
            beside = names_in(dir.file("")).size() - 2;
    };
    ASSERT_TRUE(import_grid(dir.write(name, good_text), data, colour, p).ok);
    EXPECT_EQ(beside, 1u);
    EXPECT_EQ(read_bytes(dat), good_bytes);
    EXPECT_EQ(names_in(dir.file("")), (std::set<std::string>{name, name + ".dat"}));
}

TEST(IntermediateReplace, read_only_folder_keeps_the_old_file_whole_or_gets_the_new_one) {
    TempDir dir;
    const std::string folder = dir.file("ro");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    // A small file system inside, where one can be mounted, for a folder without room as well.
    const std::string full = folder + "/full";
    ASSERT_EQ(mkdir(full.c_str(), 0755), 0);
    const bool mounted = mount("halvorn-test", full.c_str(), "tmpfs", 0, "size=64k") == 0;
    const std::string dat = dir.write("ro/GRID.txt.dat", "old");
    const std::string full_dat = dir.write("ro/full/GRID.txt.dat", "old");
    const std::string short_grid = dir.write("short.txt", short_text);
    const std::string good_grid = dir.write("good.txt", good_text);
    const std::string big_grid = dir.write(
        "big.txt", "10000 1 1 2\n" + [] {
            std::string s;
            for (int i = 0; i < 10000; ++i)
                s += "  0 0 0 6 7\n";
            return s;
        }());
    if (geteuid() == 0) { // the child becomes unprivileged_user
        for (const std::string& p : {dir.file(""), folder, full, dat, full_dat})
            ASSERT_EQ(chown(p.c_str(), unprivileged_user, unprivileged_user), 0);
    }
    ASSERT_EQ(chmod(dat.c_str(), 0640), 0);
    ASSERT_EQ(chmod(full.c_str(), 0555), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);

    const std::string result = run_in_child(
        [&]() -> std::string {
            if (creat((folder + "/probe").c_str(), 0600) >= 0)
                return "the folder takes new files";
            const ImportResult failed = run(short_grid, dat);
            if (failed.ok || read_bytes(dat) != old_bytes)
                return "a failed import changed the old file";
            const ImportResult good = run(good_grid, dat);
            if (!good.ok || read_bytes(dat) != good_bytes)
                return "the new file is not in place: " + good.error;
            if (fs::status(dat).permissions() != fs::perms(0640))
                return "the mode changed";
            if (mounted) {
                // 80,000 bytes do not fit: refused before the old file is touched.
                const ImportResult big = run(big_grid, full_dat);
                if (big.ok ||
                    big.error != "Error: \"" + full_dat + "\" could not be written completely")
                    return "no room: " + big.error;
                if (read_bytes(full_dat) != old_bytes)
                    return "no room: the old file changed";
            }
            return "";
        },
        true);
    chmod(folder.c_str(), 0755);
    chmod(full.c_str(), 0755);
    if (mounted)
        umount(full.c_str());
    EXPECT_EQ(result, "");
    EXPECT_EQ(names_in(folder), (std::set<std::string>{"GRID.txt.dat", "full"}));
}

TEST(IntermediateReplace, each_of_two_imports_into_one_path_reads_back_its_own_file) {
    // The second import runs while the first is between putting its file in place and reading
    // it back, as another process's import might.
    TempDir dir;
    const std::string dat = dir.file("shared.dat");
    const std::string first = dir.write("a.txt", good_text);
    const std::string second = dir.write("b.txt", "1 1 2 1\n  0 0 0 50\n  0 0 0 70\n");
    Volume data, colour, other_data, other_colour;
    ScriptedPrompts p;
    bool ran = false;
    p.on_progress = [&](ImportStage stage) {
        if (stage != ImportStage::reading_back || ran)
            return;
        ran = true;
        ScriptedPrompts q;
        ImportOptions options;
        options.intermediate_path = dat;
        EXPECT_TRUE(import_grid(second, other_data, other_colour, q, options).ok);
    };
    ImportOptions options;
    options.intermediate_path = dat;
    ASSERT_TRUE(import_grid(first, data, colour, p, options).ok);
    ASSERT_TRUE(ran);
    EXPECT_EQ(data.samples[1], 5.0f); // mirrored: 7 5, the first grid's samples
    EXPECT_EQ(other_data.samples[1], 50.0f);
}

TEST(IntermediateReplace, kept_files_are_refused_with_the_reason_on_a_line_of_its_own) {
    TempDir dir;
    const std::string curves = dir.write("curves.json", "{}");
    const std::string grid = dir.write("g.txt", good_text);
    Volume data, colour;
    ScriptedPrompts p;
    ImportOptions options;
    options.intermediate_path = curves;
    options.keep_paths = {curves};
    EXPECT_FALSE(import_grid(grid, data, colour, p, options).ok);
    EXPECT_EQ(p.messages.back(), "Select of intermediate file failed\n\"" + curves +
                                     "\": it is the same file as \"" + curves +
                                     "\", which is only read");
    EXPECT_FALSE(write_whole_file(curves, {grid, curves}, "x", 1));
    EXPECT_EQ(read_bytes(curves), (std::vector<unsigned char>{'{', '}'}));
    std::string why;
    EXPECT_TRUE(write_whole_file(dir.file("out.png"), {grid, curves}, "x", 1, &why)) << why;
}

TEST(IntermediateReplace, fifo_with_a_reader_is_written_but_not_read_back) {
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
