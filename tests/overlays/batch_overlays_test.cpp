// halvorn-batch render --legend and --axes: the overlays in the written picture, and nothing
// else of it changed.
#include "colour_legend.h"
#include "orientation_axes.h"
#include "run_program.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

constexpr int width = 400, height = 300;

QImage render(const TempDir& dir, const std::string& name, const std::string& flags) {
    const std::string out = dir.file(name + ".png");
    const ProgramRun run = run_program(
        shell_quote(HALVORN_BATCH) + " render " + shell_quote(HALVORN_SAMPLE_GRID) + " --curves " +
        shell_quote(HALVORN_SAMPLE_CURVES) + " --distance 140 --tilt 0.4 " +
        "--turn 0.3 --size 400x300 --intermediate " + shell_quote(dir.file(name + ".dat")) +
        " --output " + shell_quote(out) + " " + flags);
    EXPECT_EQ(run.status, 0) << run.err;
    QImage image(QString::fromStdString(out));
    EXPECT_EQ(image.width(), width);
    return image.convertToFormat(QImage::Format_RGB888);
}

// Pixel (x, y) counted from the lower left, as the overlays lay themselves out.
QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, height - 1 - y);
}

} // namespace

TEST(BatchOverlays, legend_and_axes_are_drawn_into_the_picture_and_nothing_else_changes) {
    TempDir dir;
    const QImage plain = render(dir, "plain", "");
    const QImage both = render(dir, "both", "--legend --axes");
    const QImage legend = render(dir, "legend", "--legend");
    const LegendLayout l = LegendLayout::for_view(width, height);
    const AxesLayout a = AxesLayout::for_view(width, height);
    ASSERT_TRUE(l.fits && a.fits);
    const auto in_legend = [&](int x, int y) {
        return x >= l.bar_x - 70 && y >= l.bar_y - 12 && y <= l.bar_y + l.bar_height + 24;
    };
    const auto in_axes = [&](int x, int y) { return x < 2 * a.centre_x && y < 2 * a.centre_y; };
    int text = 0, axis_pixels = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (!in_legend(x, y) && !in_axes(x, y)) {
                ASSERT_EQ(at(both, x, y), at(plain, x, y)) << x << "," << y;
                ASSERT_EQ(at(legend, x, y), at(plain, x, y)) << x << "," << y;
            }
            if (in_axes(x, y)) {
                ASSERT_EQ(at(legend, x, y), at(plain, x, y)) << "--legend alone drew axes";
            }
            // Labels left of the ticks: light grey text where the picture is black.
            if (x < l.bar_x - 7 && in_legend(x, y) && qGray(at(both, x, y)) > 120 &&
                qGray(at(plain, x, y)) < 30)
                ++text;
            for (const auto& c : OrientationAxes::colours)
                axis_pixels += in_axes(x, y) && at(both, x, y) == qRgb(c[0], c[1], c[2]);
        }
    EXPECT_GT(text, 30) << "no tick labels";
    EXPECT_GT(axis_pixels, 100);
    // The bar itself: opaque colours the plain picture does not have there.
    int bar_changed = 0;
    for (int y = l.bar_y; y < l.bar_y + l.bar_height; ++y)
        bar_changed += at(both, l.bar_x + 2, y) != at(plain, l.bar_x + 2, y);
    EXPECT_GT(bar_changed, l.bar_height / 2);
}

// A NetCDF grid names its units and dimensions: the units stand above the bar, and the axes
// carry the dimension names (wider labels than a plain x, y and z).
TEST(BatchOverlays, netcdf_units_and_dimension_names) {
    TempDir dir;
    const std::string nc = dir.file("ocean.nc");
    ASSERT_EQ(run_program("cp " + shell_quote(HALVORN_OCEAN_NC) + " " + shell_quote(nc)).status, 0);
    const auto draw = [&](const std::string& grid, const std::string& name,
                          const std::string& flags) {
        const std::string out = dir.file(name + ".png");
        const ProgramRun run =
            run_program(shell_quote(HALVORN_BATCH) + " render " + shell_quote(grid) + " --curves " +
                        shell_quote(HALVORN_OCEAN_CURVES) + " --size 400x300 --output " +
                        shell_quote(out) + " " + flags);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        return QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB888);
    };
    const QImage plain = draw(nc, "plain", "--components TIME");
    const QImage legend = draw(nc, "legend", "--components TIME --legend");
    const QImage named = draw(nc, "named", "--components TIME --axes");
    const LegendLayout l = LegendLayout::for_view(width, height);
    int units = 0;
    for (int y = l.bar_y + l.bar_height + 3; y < height; ++y)
        for (int x = l.bar_x - 20; x < width; ++x)
            units += at(legend, x, y) != at(plain, x, y);
    EXPECT_GT(units, 15) << "no units above the bar";
    // The same camera on the sample grid text file: axes called x, y and z, arrows alike.
    const auto triad_pixels = [&](const QImage& with, const QImage& without) {
        const AxesLayout a = AxesLayout::for_view(width, height);
        int n = 0;
        for (int y = 0; y < 2 * a.centre_y; ++y)
            for (int x = 0; x < 2 * a.centre_x; ++x)
                n += at(with, x, y) != at(without, x, y);
        return n;
    };
    const std::string sample = dir.file("sample.txt");
    ASSERT_EQ(
        run_program("cp " + shell_quote(HALVORN_SAMPLE_GRID) + " " + shell_quote(sample)).status,
        0);
    const int plain_names = triad_pixels(draw(sample, "xyz", "--axes"), draw(sample, "s", ""));
    EXPECT_GT(triad_pixels(named, plain), plain_names + 20) << "no dimension names";
}
