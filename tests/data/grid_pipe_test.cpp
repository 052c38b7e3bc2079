#include "grid_import.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(GridPipes, ASilentWriterKeepsProgressComingAndCancelWorks) {
    TempDir dir;
    const std::string fifo = dir.file("grid.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Held open for reading and writing: a writer that has sent part of the header and then
    // stays silent.
    const int writer = open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "1 1", 3), 3);
    Volume data, colour;
    ScriptedPrompts p;
    p.cancel_after = 5; // Cancel at the fifth progress call
    ImportOptions options;
    options.intermediate_path = dir.file("grid.dat");
    auto import =
        std::async(std::launch::async, [&] { return import_grid(fifo, data, colour, p, options); });
    const bool returned = import.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    close(writer); // ends a read that is still waiting
    const ImportResult r = import.get();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(r.cancelled) << r.error;
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(p.stages, std::vector<ImportStage>{ImportStage::converting});
    EXPECT_FALSE(file_exists(options.intermediate_path));
}
