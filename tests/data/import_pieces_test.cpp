// The mapped grid text split into pieces at line starts: every way through it (pieces of any
// size, lines the line rule cuts, lines too dense for a piece's block, a text that ends early)
// writes what the run-by-run path writes for the same text read as a stream, and the reader of
// plain lines agrees with the general one on every line it takes.
#include "grid_import.h"
#include "grid_text_scanner.h"
#include "reference_import.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {

struct Imported {
    bool ok = false;
    std::vector<unsigned char> bytes;
    std::vector<std::string> messages;
};

Imported import(const std::string& grid, bool map, int threads, std::int64_t block) {
    Volume data, colour;
    ScriptedPrompts p;
    ImportOptions options;
    options.map_files = map;
    options.threads = threads;
    options.text_block_bytes = block;
    Imported r;
    r.ok = import_grid(grid, data, colour, p, options).ok;
    if (r.ok)
        r.bytes = read_bytes(grid + ".dat");
    r.messages = p.messages;
    return r;
}

// Mapped (in pieces) and read as a stream (by runs) for several thread counts and blocks.
void expect_pieces_match_runs(const std::string& grid) {
    for (std::int64_t block : {64, 200, 4096, 0}) {
        const Imported runs = import(grid, false, 1, block);
        for (int threads : {1, 2, 3}) {
            const Imported pieces = import(grid, true, threads, block);
            EXPECT_EQ(pieces.ok, runs.ok) << "block " << block << ", " << threads << " threads";
            EXPECT_EQ(pieces.bytes, runs.bytes) << "block " << block << ", " << threads;
            EXPECT_EQ(pieces.messages, runs.messages) << "block " << block << ", " << threads;
        }
    }
}

std::string header(int lines, int ncomp) {
    return std::to_string(lines) + " 1 1 " + std::to_string(ncomp) + "\n";
}

// A plain data line of the kind generated grids hold, or now and then an odd one.
std::string random_line(std::mt19937& rng, int ncomp) {
    std::string line = rng() % 2 ? "  " : "";
    char field[32];
    for (int f = 0; f < 3 + ncomp; ++f) {
        const unsigned kind = rng() % 40;
        if (kind == 0)
            line += "1e3";
        else if (kind == 1)
            line += "x";
        else if (kind == 2)
            line += "-9999";
        else {
            std::snprintf(field, sizeof field, "%.*f", static_cast<int>(rng() % 5),
                          (static_cast<double>(rng() % 2000000) - 1000000.0) / 997.0);
            line += field;
        }
        line += std::string(1 + (rng() % 8 == 0), ' ');
    }
    line.pop_back();
    const unsigned end = rng() % 30;
    return line + (end == 0 ? "\r\n" : end == 1 ? " \t7\n" : "\n");
}

} // namespace

TEST(ImportPieces, generated_text_matches_the_runs_and_the_reference) {
    TempDir dir;
    std::mt19937 rng(41);
    const int lines = 3000;
    std::string text = header(lines, 2);
    for (int i = 0; i < lines; ++i)
        text += random_line(rng, 2);
    text += "lines after the grid are not read\n";
    const std::string grid = dir.write("g.txt", text);
    ASSERT_TRUE(reference_convert(grid, dir.file("reference.dat")));
    const Imported pieces = import(grid, true, 2, 0);
    ASSERT_TRUE(pieces.ok);
    EXPECT_EQ(pieces.bytes, read_bytes(dir.file("reference.dat")));
    expect_pieces_match_runs(grid);
}

TEST(ImportPieces, cut_lines_dense_lines_and_an_early_end_hand_over_to_the_runs) {
    TempDir dir;
    std::mt19937 rng(5);
    std::string body;
    for (int i = 0; i < 400; ++i) {
        // Now and then a line longer than a small block (the line rule cuts it), or a run of
        // empty lines denser than a piece's block holds.
        if (i % 97 == 13)
            body += "  1 2 3 " + std::string(300, '4') + " 5 " + std::string(500, '6') + "\n";
        else if (i % 151 == 40)
            body += std::string(120, '\n');
        else
            body += random_line(rng, 2);
    }
    const int lines = static_cast<int>(std::count(body.begin(), body.end(), '\n'));
    expect_pieces_match_runs(dir.write("g.txt", header(lines, 2) + body));
    expect_pieces_match_runs(dir.write("nonl.txt", header(lines, 2) + body + "  1 2 3 8 9"));
    // Ends early, but not so early that the size alone tells.
    const Imported shorter =
        import(dir.write("short.txt", header(lines + 7, 2) + body), true, 2, 0);
    EXPECT_FALSE(shorter.ok);
    ASSERT_EQ(shorter.messages.size(), 1u);
    EXPECT_EQ(shorter.messages[0], "ERROR: \"" + dir.file("short.txt") + "\" ends after " +
                                       std::to_string(lines) + " of " + std::to_string(lines + 7) +
                                       " data lines");
    expect_pieces_match_runs(dir.file("short.txt"));
}

TEST(ImportPieces, progress_comes_from_the_calling_thread_and_cancel_stops_the_pieces) {
    TempDir dir;
    std::string text = header(20000, 1);
    for (int i = 0; i < 20000; ++i)
        text += "  0 0 0 " + std::to_string(i) + ".5\n";
    const std::string grid = dir.write("g.txt", text);
    const std::thread::id caller = std::this_thread::get_id();
    ScriptedPrompts p;
    bool other_thread = false;
    int converting_calls = 0;
    p.on_progress = [&](ImportStage stage) {
        other_thread |= std::this_thread::get_id() != caller;
        converting_calls += stage == ImportStage::converting;
    };
    ImportOptions options;
    options.threads = 3;
    Volume data, colour;
    ASSERT_TRUE(import_grid(grid, data, colour, p, options).ok);
    EXPECT_FALSE(other_thread);
    EXPECT_GT(converting_calls, 10);
    EXPECT_EQ(data.sample(0, 0, 1234), 1234.5f);

    dir.write("g.txt.dat", "kept");
    ScriptedPrompts cancel;
    cancel.cancel_after = 3;
    const ImportResult r = import_grid(grid, data, colour, cancel, options);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(cancel.progress_calls, 4);
    EXPECT_EQ(read_bytes(grid + ".dat"), std::vector<unsigned char>({'k', 'e', 'p', 't'}));
}

// Lines made of the characters plain lines hold and a few others: the plain readers take most,
// and what they give and where they say the next line starts agree with the general reader.
TEST(ScanPlainLine, agrees_with_the_general_reader_on_every_line_it_takes) {
    std::mt19937 rng(17);
    // Digits weighted, then the other bytes a plain line holds, then ones it may not.
    const char bytes[] = "012345678901234567890123456789.-.- \r\t\0e+x\x80";
    int taken = 0;
    for (int trial = 0; trial < 40000; ++trial) {
        const int ncomp = 1 + static_cast<int>(rng() % 4);
        const std::size_t pool = trial % 3 ? 34 : sizeof bytes - 1;
        std::string line(rng() % 3, ' ');
        for (int f = static_cast<int>(2 + ncomp + rng() % 3); f > 0; --f) {
            for (int i = static_cast<int>(1 + rng() % 9); i > 0; --i)
                line += bytes[rng() % pool];
            line += std::string(1 + (rng() % 6 == 0), ' ');
        }
        line += '\n';
        const std::string text = line + std::string(plain_line_lookahead, 'z');
        const char* begin = text.data();
        const char* end = begin + text.size();
        float general[4] = {-7, -7, -7, -7};
        scan_data_line(begin, begin + line.size(), ncomp, general);
        // One line alone, and the same line through the reader of many (which may read the
        // components another way).
        float plain[4] = {-7, -7, -7, -7}, many[4] = {-7, -7, -7, -7};
        const char* next = scan_plain_data_line(begin, end, ncomp, plain);
        std::int64_t lines = -1;
        const char* stopped =
            scan_plain_data_lines(begin, begin + line.size(), end, ncomp, 100, 1, many, lines);
        ASSERT_EQ(lines, next ? 1 : 0) << "[" << line << "]";
        if (!next)
            continue;
        ++taken;
        ASSERT_EQ(next, begin + line.size()) << line;
        ASSERT_EQ(stopped, next) << line;
        ASSERT_EQ(std::memcmp(plain, general, sizeof plain), 0) << "[" << line << "]";
        ASSERT_EQ(std::memcmp(many, general, sizeof many), 0) << "[" << line << "]";
    }
    EXPECT_GT(taken, 2000);
    // The lines of generated grids are all taken.
    std::mt19937 grid_rng(3);
    for (int i = 0; i < 1000; ++i) {
        char line[96];
        const int n =
            std::snprintf(line, sizeof line, "  %u %u %u %.3f %.3f\n", unsigned(grid_rng() % 256),
                          unsigned(grid_rng() % 256), unsigned(grid_rng() % 128),
                          (grid_rng() % 100000) / 1000.0 - 10, -9999.0);
        const std::string text = std::string(line, n) + std::string(plain_line_lookahead, ' ');
        float out[2];
        EXPECT_EQ(scan_plain_data_line(text.data(), text.data() + text.size(), 2, out),
                  text.data() + n)
            << line;
    }
}
