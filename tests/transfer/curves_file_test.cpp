#include "curves_file.h"
#include "temp_dir.h"
#include "transfer_function.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <sys/stat.h>

namespace {

CurvesFile sample_file() {
    CurvesFile file;
    file.has_low = true;
    file.low = -12.5;
    file.has_range = true;
    file.range = 0.1;
    CurvePoints& red = file.curves[0];
    red.count = 3;
    red.x[0] = -0.05; // a first point dragged below 0
    red.y[0] = 1.0 / 3.0;
    red.x[1] = 0.7;
    red.y[1] = 1.25; // values above 1 are allowed
    red.x[2] = 1.0;
    red.y[2] = 0.0;
    CurvePoints& opacity = file.curves[3];
    opacity.count = 20;
    for (int i = 0; i < 19; ++i) {
        opacity.x[i] = i / 19.0;
        opacity.y[i] = i * 0.01;
    }
    opacity.x[19] = 1.0;
    opacity.y[19] = 0.0;
    return file;
}

void expect_same(const CurvesFile& a, const CurvesFile& b) {
    EXPECT_EQ(a.has_low, b.has_low);
    EXPECT_EQ(a.low, b.low);
    EXPECT_EQ(a.has_range, b.has_range);
    EXPECT_EQ(a.range, b.range);
    for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(a.curves[c].count, b.curves[c].count) << c;
        for (int i = 0; i < a.curves[c].count; ++i) {
            EXPECT_EQ(a.curves[c].x[i], b.curves[c].x[i]);
            EXPECT_EQ(a.curves[c].y[i], b.curves[c].y[i]);
        }
    }
}

// Parses `text`; on refusal checks that `out` kept its contents and returns the message.
std::string refusal(const std::string& text) {
    CurvesFile out = sample_file();
    std::string error;
    EXPECT_FALSE(parse_curves_text(text, "/some/where.json", out, error)) << text;
    expect_same(out, sample_file());
    EXPECT_NE(error.find("\"/some/where.json\""), std::string::npos) << error;
    return error;
}

} // namespace

TEST(CurvesFile, round_trip_is_exact) {
    TempDir dir;
    const std::string path = dir.file("curves.json");
    std::string error;
    ASSERT_TRUE(write_curves_file(path, sample_file(), error)) << error;
    CurvesFile back;
    ASSERT_TRUE(read_curves_file(path, back, error)) << error;
    expect_same(back, sample_file());
    EXPECT_FALSE(file_exists(path + ".tmp"));
}

TEST(CurvesFile, reads_the_documented_layout_and_fills_in_defaults) {
    CurvesFile file;
    std::string error;
    ASSERT_TRUE(parse_curves_text(R"({ "range": 50,
        "red": [[0.3, 0.8], [1.0, 0.0]],
        "green": [[0.5, 0.5]],
        "opacity": [] })",
                                  "c.json", file, error))
        << error;
    EXPECT_FALSE(file.has_low);
    EXPECT_TRUE(file.has_range);
    EXPECT_EQ(file.range, 50.0);
    EXPECT_EQ(file.curves[0].count, 2);
    // The final point is appended when missing; a missing or empty channel is a new curve.
    ASSERT_EQ(file.curves[1].count, 2);
    EXPECT_EQ(file.curves[1].x[1], 1.0);
    EXPECT_EQ(file.curves[1].y[1], 0.0);
    for (int c : {2, 3}) {
        ASSERT_EQ(file.curves[c].count, 1);
        EXPECT_EQ(file.curves[c].x[0], 1.0);
    }
}

TEST(CurvesFile, each_broken_rule_is_refused_with_its_reason) {
    EXPECT_NE(refusal("{ \"red\": [[0.3, 0.8] ").find("not JSON"), std::string::npos);
    EXPECT_NE(refusal("").find("not JSON"), std::string::npos);
    EXPECT_NE(refusal("[1, 2]").find("not a JSON object"), std::string::npos);
    EXPECT_NE(refusal(R"({"purple": []})").find("\"purple\""), std::string::npos);
    EXPECT_NE(refusal(R"({"red": {"x": 1}})").find("not a list"), std::string::npos);
    EXPECT_NE(refusal(R"({"red": [[0.3]]})").find("point 1 of \"red\""), std::string::npos);
    EXPECT_NE(refusal(R"({"red": [[0.3, "a"]]})").find("pair of numbers"), std::string::npos);
    EXPECT_NE(refusal(R"({"blue": [[0.5, 0.1], [0.4, 0.2]]})").find("ascend"), std::string::npos);
    EXPECT_NE(refusal(R"({"blue": [[0.5, 0.1], [1.5, 0.2]]})").find("beyond x = 1.0"),
              std::string::npos);
    EXPECT_NE(refusal(R"({"green": [[0.5, 1e400]]})").find("finite"), std::string::npos);
    EXPECT_NE(refusal(R"({"low": "zero"})").find("\"low\" is not a number"), std::string::npos);
    EXPECT_NE(refusal(R"({"range": -1e999})").find("finite"), std::string::npos);

    std::string points;
    for (int i = 0; i < 21; ++i)
        points += (i ? ", [" : "[") + std::to_string(i * 0.01) + ", 0.5]";
    EXPECT_NE(refusal("{\"opacity\": [" + points + "]}").find("at most 20"), std::string::npos);
    // Twenty points that do not end at (1.0, 0.0) would need a twenty-first.
    points.clear();
    for (int i = 0; i < 20; ++i)
        points += (i ? ", [" : "[") + std::to_string(i * 0.01) + ", 0.5]";
    EXPECT_NE(refusal("{\"opacity\": [" + points + "]}").find("more than 20"), std::string::npos);
}

TEST(CurvesFile, unreadable_file_is_named) {
    CurvesFile out = sample_file();
    std::string error;
    EXPECT_FALSE(read_curves_file("/nonexistent/curves.json", out, error));
    EXPECT_NE(error.find("/nonexistent/curves.json"), std::string::npos);
    expect_same(out, sample_file());
    EXPECT_FALSE(write_curves_file("/nonexistent/curves.json", sample_file(), error));
}

TEST(CurvesFile, writing_refuses_what_reading_would_refuse) {
    CurvesFile file = sample_file();
    file.curves[1].count = 2;
    file.curves[1].x[0] = 0.5;
    file.curves[1].y[0] = std::nan("");
    TempDir dir;
    std::string error;
    EXPECT_FALSE(write_curves_file(dir.file("c.json"), file, error));
    EXPECT_NE(error.find("finite"), std::string::npos);
    EXPECT_FALSE(file_exists(dir.file("c.json")));
}

TEST(CurvesFile, numbers_ignore_a_comma_decimal_locale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
        GTEST_SKIP() << "no German locale installed";
    TempDir dir;
    std::string error;
    ASSERT_TRUE(write_curves_file(dir.file("c.json"), sample_file(), error)) << error;
    const std::vector<unsigned char> bytes = read_bytes(dir.file("c.json"));
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("-12.5"), std::string::npos) << text;
    CurvesFile back;
    ASSERT_TRUE(read_curves_file(dir.file("c.json"), back, error)) << error;
    std::setlocale(LC_ALL, "C");
    expect_same(back, sample_file());
}

TEST(CurvesFile, curve_points_move_in_and_out_of_a_curve) {
    TransferFunction f;
    f.insert(0.4, 0.6);
    f.update_segments();
    f.dragging = true;
    f.selected = 0;
    const CurvePoints points = sample_file().curves[0];
    set_curve_points(f, points);
    EXPECT_EQ(f.count, 3);
    EXPECT_EQ(f.x[0], -0.05);
    EXPECT_FALSE(f.segments_built);
    EXPECT_FALSE(f.dragging);
    EXPECT_EQ(f.selected, -1);
    const CurvePoints back = curve_points(f);
    EXPECT_EQ(back.count, 3);
    EXPECT_EQ(back.y[1], 1.25);
}

TEST(CurvesFile, fifo_without_a_writer_and_kept_files_are_refused) {
    TempDir dir;
    const std::string fifo = dir.file("curves\nfifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CurvesFile out = sample_file();
    std::string error;
    // Nobody writes to it: refused after a short wait instead of blocking in open().
    EXPECT_FALSE(read_curves_file(fifo, out, error));
    EXPECT_EQ(error, "The curves file \"" + dir.file("curves\\nfifo") + "\" cannot be opened.");
    expect_same(out, sample_file());

    const std::string grid = dir.write("g.txt", "1 1 1 1\n  0 0 0 6\n");
    EXPECT_FALSE(write_curves_file(grid, sample_file(), error, {grid}));
    EXPECT_EQ(read_bytes(grid).size(), 18u);
    EXPECT_NE(error.find("which is only read"), std::string::npos) << error;
}
