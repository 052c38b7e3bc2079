#include "c_locale.h"
#include "grid_import.h"
#include "grid_text_scanner.h"
#include "reference_import.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "volume.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

// What sscanf("%f") gives for the text in the C locale; `ok` false when nothing scans.
float sscanf_float(const std::string& text, bool& ok) {
    CLocaleScope c;
    float v = 0;
    ok = std::sscanf(text.c_str(), "%f", &v) == 1;
    return v;
}

bool same_float(float a, float b) {
    return std::memcmp(&a, &b, 4) == 0;
}

const char* const hostile[] = {
    "1e",
    "1e+",
    "+.5",
    "-",
    ".",
    "0x1p3",
    "0x",
    "inf",
    "-inf",
    "INFINITY",
    "nan",
    "nan(12)",
    "-nan",
    "1,5",
    "\t7",
    "1\t2",
    "1e39",
    "-1e39",
    "1e-39",
    "1e-50",
    "0",
    "-0",
    "00012.5",
    "1.",
    ".5e1",
    "5e-1x",
    "3.4028235e38",
    "3.4028236e38",
    "0.1",
    "1e0001",
    "+",
    "-.e1",
    "1.5e+3",
    "12abc",
    "0.000000000000000000000000000000000000000000001401298464324817",
    "123456789012345678901234567890",
    "\r9",
    "4.5\r",
};

// Runs the fast import and the reference conversion on the same text and returns whether the
// intermediate files are byte-identical.
void expect_same_as_reference(const std::string& text, int threads = 0) {
    TempDir dir;
    const std::string grid = dir.write("grid.txt", text);
    ASSERT_TRUE(reference_convert(grid, dir.file("reference.dat")));
    Volume data, colour;
    ScriptedPrompts p;
    ImportOptions options;
    options.intermediate_path = dir.file("fast.dat");
    options.threads = threads;
    const ImportResult r = import_grid(grid, data, colour, p, options);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(read_bytes(dir.file("fast.dat")), read_bytes(dir.file("reference.dat")));
}

} // namespace

TEST(ScanFloat, matches_sscanf_on_hostile_tokens) {
    for (const char* token : hostile) {
        for (const std::string& text :
             {std::string(token), std::string(token) + " 8", std::string(token) + "\n"}) {
            bool want_ok = false;
            const float want = sscanf_float(text, want_ok);
            float got = -12345.0f;
            const bool got_ok = scan_float(text.data(), text.data() + text.size(), got);
            EXPECT_EQ(got_ok, want_ok) << "[" << text << "]";
            if (want_ok && got_ok) {
                EXPECT_TRUE(same_float(got, want) || (std::isnan(got) && std::isnan(want)))
                    << "[" << text << "] got " << got << " want " << want;
            }
        }
    }
}

TEST(ScanFloat, matches_sscanf_on_random_decimals) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mag(-40, 40);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const double v = std::pow(10.0, mag(rng)) * (rng() & 1 ? -1 : 1);
        const int digits = static_cast<int>(rng() % 12);
        std::snprintf(text, sizeof text, (rng() & 1) ? "%.*e" : "%.*f", digits, v);
        bool ok = false;
        const float want = sscanf_float(text, ok);
        float got;
        ASSERT_TRUE(scan_float(text, text + std::strlen(text), got));
        ASSERT_TRUE(same_float(got, want)) << text;
    }
}

TEST(FastImport, matches_reference_on_hostile_tokens) {
    std::string text;
    const int n = static_cast<int>(std::size(hostile));
    text = "1 1 " + std::to_string(n * n) + " 3\n";
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            text += std::string("  ") + hostile[i] + " " + hostile[j] + " 3 " + hostile[j] + " " +
                    hostile[i] + " " + (j % 3 ? "2.5" : "") + "\n";
    expect_same_as_reference(text);
}

TEST(FastImport, matches_reference_on_odd_lines) {
    const std::string long_field(5000, '7');
    expect_same_as_reference("2 1 3 2\n"
                             "\n"                  // empty line: all 1.0
                             "       \n"           // only spaces
                             "a b c d e\n"         // nothing scans
                             "1 2 3 4 5 6 7 8 9\n" // too many numbers
                             "  1 2 3 " +
                             long_field +
                             " 2\r\n"       // long line, CRLF
                             "1 2 3 \t 9\n" // tab run, then a number
                             "extra line beyond the grid 1 2 3\n");
    expect_same_as_reference("1 1 2 1\n1 2 3 4\n5 6 7 8"); // no final newline
    // A NUL ends the line's text for every later field.
    expect_same_as_reference(std::string("1 1 2 2\n  1 2 3 4\0 5\n  1 2 3 6 7\n", 32));
}

TEST(FastImport, matches_reference_on_generated_grids_for_any_thread_count) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-50.0f, 150.0f);
    const int nx = 40, ny = 30, nz = 20, ncomp = 3;
    std::string text = std::to_string(nz) + " " + std::to_string(ny) + " " + std::to_string(nx) +
                       " " + std::to_string(ncomp) + "\n";
    char line[160];
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                const bool missing = rng() % 50 == 0;
                std::snprintf(line, sizeof line, "%d %d %d %.6g %.3f %g\n", x, y, z,
                              missing ? -9999.0f : value(rng), value(rng), value(rng));
                text += line;
            }
    for (int threads : {1, 2, 3, 7})
        expect_same_as_reference(text, threads);
}
