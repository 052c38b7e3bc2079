#include "grid_import.h"
#include "grid_text_scanner.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "text_blocks.h"
#include "volume.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

std::vector<unsigned char> floats_le(std::initializer_list<float> values) {
    std::vector<unsigned char> out(values.size() * 4);
    std::memcpy(out.data(), values.begin(), out.size());
    return out;
}

struct Imported {
    ImportResult result;
    std::vector<std::string> messages;
    std::vector<unsigned char> bytes; // of the intermediate file
};

// Imports `text` reading `block` bytes at a time (0: the default block).
Imported import_text(const TempDir& dir, const std::string& text, std::int64_t block) {
    const std::string grid = dir.write("g.txt", text);
    Volume data, colour;
    ScriptedPrompts p;
    ImportOptions options;
    options.text_block_bytes = block;
    Imported r{import_grid(grid, data, colour, p, options), p.messages, read_bytes(grid + ".dat")};
    std::remove((grid + ".dat").c_str());
    return r;
}

const std::int64_t blocks[] = {1, 2, 3, 5, 8, 13, 64, 0};

} // namespace

TEST(LongLines, BlockBoundariesInsideLinesTailsAndTheHeader) {
    // Every block size puts a boundary somewhere else: inside the header and its comment,
    // inside needed fields, inside the dropped tails.
    static const char head[] = "1 1 5 2 # nz ny nx ncomp, then a long comment\n"
                               "  1 2 3 4.5 6.25 7 8 9 10 11 12 13 14 15 16\n"
                               "  1 2 3 1e1 -2.5\t\t\t\t\t\t\t\t\t junk junk\r\n"
                               "  1 2 3 \t 7 8 9 then a tail\0 past a NUL 5 5 5\n"
                               "  1 2\0";
    // The NUL decides its line before the needed fields end, however long the rest is.
    const std::string text =
        std::string(head, sizeof head - 1) + std::string(6000, 'x') + "\n  1 2 3 99 100";
    for (std::int64_t block : blocks) {
        TempDir dir;
        const Imported r = import_text(dir, text, block);
        ASSERT_TRUE(r.result.ok) << "block " << block << ": " << r.result.error;
        // A field of tabs reads the next number on its line, as "%f" does.
        EXPECT_EQ(r.bytes, floats_le({4.5f, 6.25f, 10, -2.5f, 7, 7, 2, 2, 99, 100})) << block;
    }
}

TEST(LongLines, RandomTailsGiveTheSameSamplesForAnyBlockSize) {
    std::mt19937 rng(23);
    const char* const tokens[] = {"1", "-2.5", "3e2", "0x1p3", "inf", "nan", "+.5", "1e", "x",
                                  "\t", "\t\t9", "7\t8", "\r", "1.25\r", "123456789.125", "-"};
    const auto token = [&] { return std::string(tokens[rng() % std::size(tokens)]); };
    std::string text = "3 1 20 3\n";
    for (int line = 0; line < 60; ++line) {
        std::string s(rng() % 3, ' ');
        const int fields = static_cast<int>(rng() % 12);
        for (int f = 0; f < fields; ++f)
            s += token() + std::string(1 + rng() % 3, ' ');
        const int tail = static_cast<int>(rng() % 300);
        for (int i = 0; i < tail; ++i)
            s += rng() % 40 == 0 ? '\0' : " 0123456789abc\t."[rng() % 16];
        text += s + (rng() % 4 ? "\n" : "\r\n");
    }
    TempDir dir;
    const Imported whole = import_text(dir, text, 0);
    ASSERT_TRUE(whole.result.ok) << whole.result.error;
    ASSERT_EQ(whole.bytes.size(), 60u * 3 * 4);
    for (std::int64_t block : {1, 4, 7, 16, 100, 1000}) {
        const Imported cut = import_text(dir, text, block);
        ASSERT_TRUE(cut.result.ok) << "block " << block << ": " << cut.result.error;
        EXPECT_EQ(cut.bytes, whole.bytes) << "block " << block;
    }
}

TEST(LongLines, NeededFieldsBeyondTheBoundAreRefusedNamingTheLine) {
    // With a 64-byte block the bound is 1024 bytes for each of the 4 needed fields.
    const std::string huge_field = std::string(5000, '0') + "5";
    const std::string text = "1 1 2 1\n  1 2 3 4\n  1 2 3 " + huge_field + "\n";
    TempDir dir;
    dir.write("g.txt.dat", "kept");
    const std::string grid = dir.write("g.txt", text);
    Volume data, colour;
    ScriptedPrompts p;
    ImportOptions options;
    options.text_block_bytes = 64;
    EXPECT_FALSE(import_grid(grid, data, colour, p, options).ok);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], "ERROR: \"" + grid +
                                 "\" line 3 is too long: its first 4 fields take more than 4096 "
                                 "bytes");
    EXPECT_EQ(read_bytes(grid + ".dat"), std::vector<unsigned char>({'k', 'e', 'p', 't'}));
    EXPECT_EQ(data.samples, nullptr);

    // The bound is never below the block: the default block holds the same line whole.
    ScriptedPrompts whole;
    ASSERT_TRUE(import_grid(grid, data, colour, whole).ok);
    EXPECT_EQ(read_bytes(grid + ".dat"), floats_le({4, 5}));
}

TEST(LongLines, HeaderNumbersMustEndWithinTheirBound) {
    for (std::int64_t block : {64, 0}) {
        TempDir dir;
        // Comments after the four numbers may be of any length.
        Imported r = import_text(dir, "1 1 1 1 " + std::string(100000, '#') + "\n 1 2 3 4\n", block);
        EXPECT_TRUE(r.result.ok) << r.result.error;
        EXPECT_EQ(r.bytes, floats_le({4}));
        // Numbers that end past the first 4096 bytes are not a header.
        for (const std::string& header :
             {std::string(4090, ' ') + "1 1 1 1\n", "1 1 1 " + std::string(5000, '0') + "1\n",
              std::string(5000, ' ') + "\n"}) {
            r = import_text(dir, header + " 1 2 3 4\n", block);
            EXPECT_FALSE(r.result.ok);
            ASSERT_EQ(r.messages.size(), 1u);
            EXPECT_EQ(r.messages[0], "ERROR: \"" + dir.file("g.txt") +
                                         "\" does not begin with a header of four positive "
                                         "integers");
        }
    }
}

TEST(LongLines, TheDroppedTailIsNeverHeld) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const std::string tail(1 << 20, '5');
    std::fputs(("1 2 3 4 " + tail + "\nnext\n").c_str(), f);
    std::rewind(f);
    TextBlocks text(f, 64);
    text.set_line_rule([](const char* b, const char* e) { return data_line_needed(b, e, 1); },
                       4096);
    const char* starts[3];
    ASSERT_EQ(text.take_lines(2, starts), 1);
    EXPECT_EQ(std::string(starts[0], starts[1]), "1 2 3 4\n");
    ASSERT_EQ(text.take_lines(2, starts), 1);
    EXPECT_EQ(std::string(starts[0], starts[1]), "next\n");
    EXPECT_EQ(text.take_lines(2, starts), 0);
    EXPECT_EQ(text.buffer_bytes(), 64u);
    EXPECT_EQ(text.consumed(), static_cast<std::int64_t>(tail.size()) + 14);
    std::fclose(f);
}
