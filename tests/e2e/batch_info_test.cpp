#include "run_program.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
    EXPECT_EQ(r.err, "Select of intermediate file failed\n\"" + dir.file("no/folder/x.dat") +
                         "\": No such file or directory\n");

    const std::string short_grid = dir.write("s.txt", "1 1 3 1\n  0 0 0 6\n  0 0 0 7\n");
    r = info(shell_quote(short_grid));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: \"" + short_grid + "\" ends after 2 of 3 data lines\n");

    r = info(shell_quote(grid) + " --intermediate /dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: \"/dev/full\" could not be written completely\n");
}

TEST(BatchInfo, EndlessStreamsAndFifosWithoutAPartnerAreRefusedAtOnce) {
    // `timeout` turns a hang into exit status 124.
    const std::string info = "timeout 20 " + shell_quote(batch) + " info ";
    TempDir dir;
    ProgramRun r = run_program(info + "/dev/zero --intermediate " + dir.file("z.dat"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "ERROR: \"/dev/zero\" does not begin with a header of four positive integers\n");
    EXPECT_FALSE(file_exists(dir.file("z.dat")));

    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    r = run_program(info + shell_quote(fifo)); // nobody writes to it
    EXPECT_EQ(r.err, "ERROR: \"" + fifo + "\" is not a valid file or is not readable\n");
    // Nobody reads from it either: as for any path that cannot be written.
    r = run_program(info + shell_quote(dir.write("g.txt", "1 1 1 1\n  0 0 0 6\n")) +
                    " --intermediate " + shell_quote(fifo));
    EXPECT_EQ(r.err, "Select of intermediate file failed\n\"" + fifo +
                         "\": it is a FIFO that nobody reads from\n");
}

TEST(BatchInfo, GridsOnPipesWithAWriterAreRead) {
    TempDir dir;
    const std::string grid = shell_quote(dir.write("g.txt", "1 1 2 1\n  0 0 0 5\n  0 0 0 7\n"));
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string info = "timeout 20 " + shell_quote(batch) + " info ";
    const std::string to_fifo = "cat " + grid + " > " + shell_quote(fifo);
    // Process substitution, and a named FIFO whose writer opens before or after the reader.
    for (const std::string& script :
         {info + "<(cat " + grid + ")", to_fifo + " & sleep 0.2; " + info + shell_quote(fifo),
          "(sleep 0.2; " + to_fifo + ") & " + info + shell_quote(fifo)}) {
        const ProgramRun r = run_program(
            "bash -c " + shell_quote(script + " --intermediate " + dir.file("out.dat") + "; wait"));
        EXPECT_EQ(r.status, 0) << script << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "extents: 2 1 1 components: 1") << script;
    }
}

TEST(BatchInfo, UsageAndHelp) {
    ProgramRun r = run_program(shell_quote(batch) + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("halvorn-batch info GRID "), std::string::npos);
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
