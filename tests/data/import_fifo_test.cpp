#include "grid_import.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string grid_text = "1 1 2 1\n  0 0 0 5\n  0 0 0 7\n";
const std::vector<unsigned char> grid_bytes = {0, 0, 0xa0, 0x40, 0, 0, 0xe0, 0x40}; // 5, 7

std::string make_fifo(const TempDir& dir, const std::string& name) {
    const std::string path = dir.file(name);
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}

// Holds a FIFO open for reading from the start, so that a writer finds a reader at once, and
// collects what one writer sends until it closes (giving up after ten seconds).
class FifoReader {
public:
    explicit FifoReader(const std::string& path)
        : fd_(open(path.c_str(), O_RDONLY | O_NONBLOCK)), thread_([this] {
              pollfd p{fd_, POLLIN, 0};
              if (poll(&p, 1, 10000) <= 0)
                  return;
              fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
              char buffer[4096];
              ssize_t n;
              while ((n = read(fd_, buffer, sizeof buffer)) > 0)
                  got_.append(buffer, static_cast<std::size_t>(n));
          }) {}
    std::string finish() {
        thread_.join();
        close(fd_);
        return got_;
    }

private:
    int fd_;
    std::string got_;
    std::thread thread_;
};

} // namespace

TEST(ImportFifo, GridFifoWithoutAWriterIsRefusedRatherThanWaitedOn) {
    TempDir dir;
    const std::string fifo = make_fifo(dir, "grid.txt");
    Volume data, colour;
    ScriptedPrompts p;
    EXPECT_FALSE(import_grid(fifo, data, colour, p).ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], "ERROR: \"" + fifo + "\" is not a valid file or is not readable");
    EXPECT_FALSE(file_exists(fifo + ".dat"));
}

TEST(ImportFifo, GridFifoWorksWhetherItsWriterOpensBeforeOrAfterTheImport) {
    for (const bool writer_first : {true, false}) {
        TempDir dir;
        const std::string fifo = make_fifo(dir, "grid.txt");
        std::thread writer([&] {
            if (!writer_first)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            std::ofstream(fifo) << grid_text; // blocks in open until the import reads
        });
        if (writer_first)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Volume data, colour;
        ScriptedPrompts p;
        ImportOptions options;
        options.intermediate_path = dir.file("out.dat");
        const ImportResult r = import_grid(fifo, data, colour, p, options);
        writer.join();
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(read_bytes(options.intermediate_path), grid_bytes);
    }
}

TEST(ImportFifo, IntermediateFifoWithoutAReaderAsksForAnotherPath) {
    TempDir dir;
    const std::string grid = dir.write("g.txt", grid_text);
    Volume data, colour;
    ScriptedPrompts p;
    p.save_answer = dir.file("chosen.dat");
    ImportOptions options;
    options.intermediate_path = make_fifo(dir, "pipe.dat");
    ASSERT_TRUE(import_grid(grid, data, colour, p, options).ok);
    EXPECT_EQ(p.messages,
              std::vector<std::string>{"Please select intermediate file for data transformation"});
    EXPECT_EQ(p.save_initial, std::vector<std::string>{options.intermediate_path});
    EXPECT_EQ(read_bytes(p.save_answer), grid_bytes);
}

TEST(ImportFifo, IntermediateFifoWithAReaderIsWrittenButNotReadBack) {
    TempDir dir;
    const std::string grid = dir.write("g.txt", grid_text);
    ImportOptions options;
    options.intermediate_path = make_fifo(dir, "pipe.dat");
    FifoReader reader(options.intermediate_path);
    Volume data, colour;
    ScriptedPrompts p;
    const ImportResult r = import_grid(grid, data, colour, p, options);
    const std::string got = reader.finish();
    EXPECT_EQ(std::vector<unsigned char>(got.begin(), got.end()), grid_bytes);
    // The samples went to the reader; nothing is taken back from it.
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(r.error, "ERROR: \"" + options.intermediate_path + "\" could not be read back");
    EXPECT_EQ(data.samples, nullptr);
}
