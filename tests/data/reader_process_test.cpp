// The helper process that runs the NetCDF library: its faults and hangs end only itself.
#include "reader_process.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

int answer_then_fault(ReaderProcess& p, void*) {
    std::int64_t type = 0;
    std::string payload;
    if (p.receive(type, payload, -1) != ReaderProcess::Received::message)
        return 3;
    std::memcpy(p.block(1), payload.data(), payload.size());
    p.send(type + 1, "seen");
    raise(SIGSEGV);
    return 0;
}

int hang(ReaderProcess&, void*) {
    for (;;)
        pause();
}

} // namespace

TEST(ReaderProcess, a_fault_in_the_helper_ends_only_the_helper) {
    ReaderProcess p;
    ASSERT_TRUE(p.start(4096, answer_then_fault, nullptr));
    ASSERT_TRUE(p.send(7, "block"));
    std::int64_t type = 0;
    std::string payload;
    ASSERT_EQ(p.receive(type, payload, 5000), ReaderProcess::Received::message);
    EXPECT_EQ(type, 8);
    EXPECT_EQ(payload, "seen");
    EXPECT_EQ(std::memcmp(p.block(1), "block", 5), 0); // written by the helper, read here
    EXPECT_EQ(p.receive(type, payload, 5000), ReaderProcess::Received::closed);
    EXPECT_EQ(p.wait(), "ended with signal 11");
    EXPECT_FALSE(p.send(9, "gone")); // no SIGPIPE
}

TEST(ReaderProcess, a_hanging_helper_times_out_and_is_stopped) {
    ReaderProcess p;
    ASSERT_TRUE(p.start(4096, hang, nullptr));
    std::int64_t type = 0;
    std::string payload;
    EXPECT_EQ(p.receive(type, payload, 50), ReaderProcess::Received::timeout);
    p.stop();
    EXPECT_EQ(p.receive(type, payload, 50), ReaderProcess::Received::closed);
}
