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

// Imports `text` as dir/g.txt reading `block` bytes at a time (0: the default block), once with
// the file mapped and once read through the buffer, which must agree; returns the intermediate
// file's bytes, empty on failure with the message in `message`.
std::vector<unsigned char> import_text(const TempDir& dir, const std::string& text,
                                       std::int64_t block, std::string* message = nullptr) {
    const std::string grid = dir.write("g.txt", text);
    std::vector<unsigned char> result[2];
    std::string said[2];
    for (bool map : {true, false}) {
        Volume data, colour;
        ScriptedPrompts p;
        ImportOptions options;
        options.text_block_bytes = block;
        options.map_files = map;
        if (import_grid(grid, data, colour, p, options).ok)
            result[map] = read_bytes(grid + ".dat");
        else if (!p.messages.empty())
            said[map] = p.messages[0];
    }
    EXPECT_EQ(result[true], result[false]) << "mapped and read differ, block " << block;
    EXPECT_EQ(said[true], said[false]) << "block " << block;
    if (message)
        *message = said[true];
    return result[true];
}

} // namespace

TEST(LongLines, block_boundaries_inside_lines_tails_and_the_header) {
    // Each block size puts the boundaries elsewhere: inside the header and its comment, inside
    // needed fields, inside the dropped tails.
    static const char head[] = "1 1 5 2 # nz ny nx ncomp, then a long comment\n"
                               "  1 2 3 4.5 6.25 7 8 9 10 11 12 13 14 15 16\n"
                               "  1 2 3 1e1 -2.5\t\t\t\t\t\t\t\t\t junk junk\r\n"
                               "  1 2 3 \t 7 8 9 then a tail\0 past a NUL 5 5 5\n"
                               "  1 2\0";
    // The NUL decides its line before the needed fields end, however long the rest is.
    const std::string text =
        std::string(head, sizeof head - 1) + std::string(6000, 'x') + "\n  1 2 3 99 100";
    TempDir dir;
    for (std::int64_t block : {1, 2, 3, 5, 8, 13, 64, 0}) {
        // A field of tabs reads the next number on its line, as "%f" does.
        EXPECT_EQ(import_text(dir, text, block),
                  floats_le({4.5f, 6.25f, 10, -2.5f, 7, 7, 2, 2, 99, 100}))
            << "block " << block;
    }
}

TEST(LongLines, random_tails_give_the_same_samples_for_any_block_size) {
    std::mt19937 rng(23);
    const char* const tokens[] = {
        "1", "-2.5", "3e2",   "0x1p3", "inf", "nan",    "+.5",           "1e",
        "x", "\t",   "\t\t9", "7\t8",  "\r",  "1.25\r", "123456789.125", "-"};
    std::string text = "3 1 20 3\n";
    for (int line = 0; line < 60; ++line) {
        text += std::string(rng() % 3, ' ');
        for (int f = static_cast<int>(rng() % 12); f > 0; --f)
            text += tokens[rng() % std::size(tokens)] + std::string(1 + rng() % 3, ' ');
        for (int i = static_cast<int>(rng() % 300); i > 0; --i)
            text += rng() % 40 == 0 ? '\0' : " 0123456789abc\t."[rng() % 16];
        text += rng() % 4 ? "\n" : "\r\n";
    }
    TempDir dir;
    const std::vector<unsigned char> whole = import_text(dir, text, 0);
    ASSERT_EQ(whole.size(), 60u * 3 * 4);
    for (std::int64_t block : {1, 4, 7, 16, 100, 1000})
        EXPECT_EQ(import_text(dir, text, block), whole) << "block " << block;
}

TEST(LongLines, parts_beyond_their_bound_are_refused) {
    TempDir dir;
    dir.write("g.txt.dat", "kept");
    // With a 64-byte block a data line's bound is 1024 bytes for each of its 4 needed fields.
    const std::string huge_field = "1 1 2 1\n  1 2 3 4\n  1 2 3 " + std::string(5000, '0') + "5\n";
    std::string message;
    EXPECT_TRUE(import_text(dir, huge_field, 64, &message).empty());
    EXPECT_EQ(message, "ERROR: \"" + dir.file("g.txt") +
                           "\" line 3 is too long: its first 4 fields take more than 4096 bytes");
    EXPECT_EQ(read_bytes(dir.file("g.txt.dat")), std::vector<unsigned char>({'k', 'e', 'p', 't'}));
    // The bound is never below the block: the default block holds the same line whole.
    EXPECT_EQ(import_text(dir, huge_field, 0), floats_le({4, 5}));

    // The header's numbers must end within 4096 bytes; a comment after them may be any length.
    for (std::int64_t block : {64, 0}) {
        EXPECT_EQ(import_text(dir, "1 1 1 1 " + std::string(100000, '#') + "\n 1 2 3 4\n", block),
                  floats_le({4}));
        message.clear();
        EXPECT_TRUE(
            import_text(dir, std::string(4090, ' ') + "1 1 1 1\n 1 2 3 4\n", block, &message)
                .empty());
        EXPECT_EQ(message, "ERROR: \"" + dir.file("g.txt") +
                               "\" does not begin with a header of four positive integers");
    }
}

TEST(LongLines, the_dropped_tail_is_never_held) {
    // Read through the buffer and mapped: neither holds more than the block of the cut line.
    for (bool map : {false, true}) {
        std::FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        const std::string tail(1 << 20, '5');
        std::fputs(("1 2 3 4 " + tail + "\nnext\n").c_str(), f);
        std::rewind(f);
        TextBlocks text(f, 64);
        if (map) {
            ASSERT_TRUE(text.map_file());
        }
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
}

// An endless line after a valid header (a grid on a pipe that never ends) still reports
// progress while its rest is dropped, so Cancel stops it.
TEST(LongLines, cancel_reaches_the_dropped_tail_of_an_endless_line) {
    TempDir dir;
    const std::string grid = dir.write("g.txt", "2 1 1 1\n1 2 3 4 " + std::string(1 << 16, '7'));
    Volume data, colour;
    ScriptedPrompts p;
    p.cancel_after = 3;
    ImportOptions options;
    options.text_block_bytes = 64;
    const ImportResult r = import_grid(grid, data, colour, p, options);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(p.progress_calls, 4);
    EXPECT_EQ(data.nx, 0);
}
