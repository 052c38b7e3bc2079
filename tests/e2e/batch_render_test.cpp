#include "run_program.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

const std::string batch = HALVORN_BATCH;
const std::string baselines = HALVORN_BASELINES;
const std::string failures = HALVORN_RENDER_FAILURES;

ProgramRun render(const std::string& args) {
    return run_program(shell_quote(batch) + " render " + shell_quote(HALVORN_SAMPLE_GRID) +
                       " --curves " + shell_quote(HALVORN_SAMPLE_CURVES) + " " + args);
}

struct Difference {
    double mean = 0.0;      // mean absolute channel difference, 0..255
    double off_share = 0.0; // share of pixels with a channel off by more than 8
};

Difference compare(const QImage& a, const QImage& b) {
    Difference d;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    std::int64_t sum = 0, off = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int col = 0; col < x.width(); ++col) {
            int worst = 0;
            for (int c = 0; c < 3; ++c) {
                const int diff = std::abs(p[col * 3 + c] - q[col * 3 + c]);
                sum += diff;
                worst = std::max(worst, diff);
            }
            off += worst > 8;
        }
    }
    const double pixels = static_cast<double>(x.width()) * x.height();
    d.mean = static_cast<double>(sum) / (3.0 * pixels);
    d.off_share = static_cast<double>(off) / pixels;
    return d;
}

// Renders with `args` at 160 x 100 and compares with baselines/NAME.png: another rasteriser
// may differ a little, so the test allows a mean difference of 1 and 1 % of pixels off by
// more than 8. On a mismatch the current picture is kept under the test output folder.
void expect_matches_baseline(const std::string& name, const std::string& args) {
    TempDir dir;
    const std::string out = dir.file(name + ".png");
    const ProgramRun r =
        render("--size 160x100 --intermediate " + shell_quote(dir.file("sample.dat")) +
               " --output " + shell_quote(out) + " " + args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const QImage current(QString::fromStdString(out));
    const QImage expected(QString::fromStdString(baselines + "/" + name + ".png"));
    ASSERT_FALSE(current.isNull());
    ASSERT_FALSE(expected.isNull()) << "no baseline " << name;
    ASSERT_EQ(current.size(), expected.size());
    const Difference d = compare(current, expected);
    const bool ok = d.mean <= 1.0 && d.off_share <= 0.01;
    if (!ok) {
        std::filesystem::create_directories(failures);
        std::filesystem::copy_file(out, failures + "/" + name + ".png",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    EXPECT_TRUE(ok) << name << ": mean difference " << d.mean << ", " << 100.0 * d.off_share
                    << " % of pixels off; current picture in " << failures;
}

} // namespace

TEST(BatchRender, sample_face_on_matches_baseline) {
    expect_matches_baseline("sample_face", "--distance 160");
}

TEST(BatchRender, sample_tilted_and_turned_matches_baseline) {
    expect_matches_baseline("sample_turned", "--distance 160 --tilt 0.5 --turn 0.7");
}

TEST(BatchRender, sample_quads_at_step_two_match_baseline) {
    expect_matches_baseline("sample_quads", "--distance 160 --tilt -0.4 --turn 2.2 --mode 0 "
                                            "--step 2");
}

// --draw immediate (and its older spelling --immediate) draws the arrays' picture; the
// shaders draw one that differs in a few outline pixels at most.
TEST(BatchRender, drawings_draw_the_same_png) {
    TempDir dir;
    const std::string common = "--size 160x100 --distance 160 --tilt 0.5 --turn 0.7 "
                               "--intermediate " +
                               shell_quote(dir.file("s.dat"));
    ASSERT_EQ(render(common + " --output " + shell_quote(dir.file("a.png"))).status, 0);
    ASSERT_EQ(render(common + " --immediate --output " + shell_quote(dir.file("i.png"))).status, 0);
    ASSERT_EQ(
        render(common + " --draw immediate --output " + shell_quote(dir.file("d.png"))).status, 0);
    ASSERT_EQ(render(common + " --draw shaders --output " + shell_quote(dir.file("s.png"))).status,
              0);
    const QImage a(QString::fromStdString(dir.file("a.png")));
    const QImage i(QString::fromStdString(dir.file("i.png")));
    const QImage d(QString::fromStdString(dir.file("d.png")));
    const QImage s(QString::fromStdString(dir.file("s.png")));
    ASSERT_FALSE(a.isNull());
    EXPECT_TRUE(a == i);
    EXPECT_TRUE(a == d);
    ASSERT_EQ(s.size(), a.size());
    int off = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = s.pixel(x, y);
            off += std::abs(qRed(p) - qRed(q)) > 2 || std::abs(qGreen(p) - qGreen(q)) > 2 ||
                   std::abs(qBlue(p) - qBlue(q)) > 2;
        }
    EXPECT_LE(off, a.width() * a.height() / 100);
}

// An axis scale of 1,1,1 draws the unstretched picture exactly; a stretch changes it.
TEST(BatchRender, axis_scale_one_is_the_plain_picture) {
    TempDir dir;
    const std::string common = "--size 160x100 --distance 200 --tilt 0.5 --turn 0.7 "
                               "--intermediate " +
                               shell_quote(dir.file("s.dat"));
    const char* const names[] = {"plain.png", "one.png", "flat.png"};
    const char* const options[] = {"", " --axis-scale 1,1,1", " --axis-scale 1,1,0.25"};
    QImage images[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(
            render(common + options[i] + " --output " + shell_quote(dir.file(names[i]))).status, 0);
        images[i] = QImage(QString::fromStdString(dir.file(names[i])));
    }
    ASSERT_FALSE(images[0].isNull());
    EXPECT_TRUE(images[0] == images[1]);
    EXPECT_FALSE(images[0] == images[2]);
}

TEST(BatchRender, default_size_is_the_main_view) {
    TempDir dir;
    const ProgramRun r = render("--intermediate " + shell_quote(dir.file("s.dat")) + " --output " +
                                shell_quote(dir.file("d.png")));
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage d(QString::fromStdString(dir.file("d.png")));
    EXPECT_EQ(d.size(), QSize(612, 375));
    EXPECT_EQ(d.pixel(0, 0) & 0xffffff, 0u);     // black background
    EXPECT_NE(d.pixel(306, 187) & 0xffffff, 0u); // the volume in the middle
}

TEST(BatchRender, bad_usage_exits_with_two) {
    TempDir dir;
    const std::string out = " --output " + shell_quote(dir.file("x.png"));
    for (const std::string& args :
         {std::string(""), "--size 0x10" + out, "--size 612" + out, "--size 20000x10" + out,
          "--step 0" + out, "--tilt abc" + out, "--distance nan" + out, "--mode 1.5" + out,
          "--axis-scale 1,0,1" + out, "--axis-scale 2" + out, "--missing none" + out,
          "--draw gpu" + out}) {
        const ProgramRun r = render(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args;
    }
    EXPECT_FALSE(file_exists(dir.file("x.png")));
}

TEST(BatchRender, unwritable_output_is_reported) {
    TempDir dir;
    const std::string out = dir.file("no/folder/x.png");
    const ProgramRun r = render("--size 16x16 --intermediate " + shell_quote(dir.file("s.dat")) +
                                " --output " + shell_quote(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: cannot write '" + out + "'\n");
}

// A device that refuses writes and a full disk are failures, not successes; on a full disk the
// file that was there stays as it was and nothing half-written is left beside it.
TEST(BatchRender, outputs_that_cannot_be_written_whole_are_reported) {
    TempDir dir;
    const std::string intermediate = " --intermediate " + shell_quote(dir.file("s.dat"));
    ProgramRun r = render("--size 32x32 --output /dev/full" + intermediate);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: cannot write '/dev/full'\n");
    r = run_program(shell_quote(batch) + " classify " + shell_quote(HALVORN_SAMPLE_GRID) +
                    " --curves " + shell_quote(HALVORN_SAMPLE_CURVES) + intermediate +
                    " --output /dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: cannot write '/dev/full'\n");
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)); // written in place, never replaced by a file

    const std::string small = dir.file("small");
    ASSERT_EQ(mkdir(small.c_str(), 0700), 0);
    if (mount("halvorn-test", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    const std::string out = small + "/big.png";
    { std::ofstream(out) << "the old picture"; }
    // The sample close up at 400 x 400 takes about 200 KB of PNG.
    r = render("--size 400x400 --distance 60 --output " + shell_quote(out) + intermediate);
    std::ifstream in(out);
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(small))
        ++entries;
    umount(small.c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: cannot write '" + out + "'\n");
    EXPECT_EQ(kept, "the old picture");
    EXPECT_EQ(entries, 1);
}

TEST(BatchRender, zero_range_is_refused) {
    TempDir dir;
    const ProgramRun r = render("--range 0 --intermediate " + shell_quote(dir.file("s.dat")) +
                                " --output " + shell_quote(dir.file("x.png")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: the temperature range must be a non-zero finite number\n");
    EXPECT_FALSE(file_exists(dir.file("x.png")));
}
