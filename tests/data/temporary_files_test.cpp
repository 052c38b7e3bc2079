#include "grid_import.h"
#include "output_file.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "temporary_files.h"
#include "volume.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::size_t names_in(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Waits until `folder` holds `count` names, for at most ten seconds.
bool wait_for_names(const std::string& folder, std::size_t count) {
    for (int i = 0; i < 1000 && names_in(folder) != count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return names_in(folder) == count;
}

// Ends the child made by fork() with `signal` (0: lets it call exit()) and returns its status.
int stop_child(pid_t child, int signal) {
    if (signal)
        kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

} // namespace

TEST(TemporaryFiles, AnOutputStoppedMidWriteLeavesOnlyTheOldFile) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, 0}) {
        TempDir dir;
        const std::string out = dir.write("out.raw", "old");
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            remove_temporary_files_on_exit();
            OutputFile file;
            if (!file.open(out, ""))
                _exit(2);
            const std::string part(1 << 20, 'x');
            std::fwrite(part.data(), 1, part.size(), file.stream());
            std::fflush(file.stream());
            char c = 'w';
            if (write(ready[1], &c, 1) != 1)
                _exit(3);
            if (!signal)
                std::exit(0); // as the dialog does when it is closed in the middle of an import
            for (;;)
                pause();
        }
        close(ready[1]);
        char c = 0;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        if (signal) {
            EXPECT_EQ(names_in(dir.file("")), 2u); // the old file and the temporary file
        }
        const int status = stop_child(child, signal);
        if (signal) {
            ASSERT_TRUE(WIFSIGNALED(status)) << signal;
            EXPECT_EQ(WTERMSIG(status), signal); // the signal still ends the process
        }
        EXPECT_EQ(names_in(dir.file("")), 1u) << signal;
        EXPECT_EQ(read_bytes(out), (std::vector<unsigned char>{'o', 'l', 'd'}));
    }
}

TEST(TemporaryFiles, AnImportSignalledWhileItConvertsLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string fifo = dir.file("grid.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string dat = dir.write("grid.dat", "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        remove_temporary_files_on_exit();
        Volume data, colour;
        ScriptedPrompts prompts;
        ImportOptions options;
        options.intermediate_path = dat;
        options.text_block_bytes = 64; // reads return once 64 bytes have come
        import_grid(fifo, data, colour, prompts, options);
        _exit(0);
    }
    // The child's import waits for more lines once the temporary file is there.
    const int writer = open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    std::string text = "1000 1 1 1\n";
    for (int i = 0; i < 10; ++i)
        text += "  0 0 0 6\n";
    ASSERT_EQ(write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    EXPECT_TRUE(wait_for_names(dir.file(""), 3u));
    const int status = stop_child(child, SIGTERM);
    close(writer);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(names_in(dir.file("")), 2u);
    EXPECT_EQ(read_bytes(dat), (std::vector<unsigned char>{'o', 'l', 'd'}));
}
