#include "run_program.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace {

const std::string batch = HALVORN_BATCH;

ProgramRun info(const std::string& args, const std::string& env = "") {
    return run_program(shell_quote(batch) + " info " + args, env);
}

} // namespace

TEST(BatchInfo, PrintsExtentsAndStatistics) {
    TempDir dir;
    const std::string grid = dir.write("g.txt", "2 1 2 2\n"
                                                "  0 0 0 1 2\n"
                                                "  0 0 0 3 -9999\n"
                                                "  0 0 0 4 5\n"
                                                "  0 0 0 -100 6\n");
    // A comma-decimal locale must not change how numbers are read or printed.
    for (const std::string env : {"", "LC_ALL=de_DE.UTF-8"}) {
        const ProgramRun r = info(shell_quote(grid), env);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "extents: 2 1 2 components: 2\n"
                         "avg == 3.500000, stddev == 1.707825, min is 1.000000, max is 6.000000, "
                         "numvalidsamps = 6\n");
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(read_bytes(grid + ".dat").size(), 32u);
}

TEST(BatchInfo, LoadsTheBundledSample) {
    const ProgramRun r =
        info(shell_quote(HALVORN_SAMPLE_GRID) + " --intermediate /tmp/halvorn-e2e-sample.dat");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "extents: 64 64 48 components: 2");
    std::remove("/tmp/halvorn-e2e-sample.dat");
}

TEST(BatchInfo, FailuresGoToStandardErrorWithStatusOne) {
    TempDir dir;
    const std::string missing = dir.file("missing.txt");
    ProgramRun r = info(shell_quote(missing));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ERROR: \"" + missing + "\" is not a valid file or is not readable\n");

    const std::string grid = dir.write("g.txt", "1 1 1 1\n  0 0 0 6\n");
    r = info(shell_quote(grid) + " --intermediate " + dir.file("no/folder/x.dat"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Select of intermediate file failed\n");

    const std::string short_grid = dir.write("s.txt", "1 1 3 1\n  0 0 0 6\n  0 0 0 7\n");
    r = info(shell_quote(short_grid));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: \"" + short_grid + "\" ends after 2 of 3 data lines\n");

    r = info(shell_quote(grid) + " --intermediate /dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: \"/dev/full\" could not be written completely\n");
}

TEST(BatchInfo, UsageAndHelp) {
    ProgramRun r = run_program(shell_quote(batch) + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("halvorn-batch info GRID.txt"), std::string::npos);
    r = run_program(shell_quote(batch));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
    r = info("");
    EXPECT_EQ(r.status, 2);
    r = info("a.txt --bogus");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option --bogus"), std::string::npos);
    r = info("a.txt --intermediate");
    EXPECT_EQ(r.status, 2);
    r = run_program(shell_quote(batch) + " frobnicate");
    EXPECT_EQ(r.status, 2);
}
