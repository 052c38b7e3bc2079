// The main view's overlays from the dialog's menu: Show Legend, Show Axes (off at start, no
// undo step, in the view's frame and so in Save Image) and View From.
#include "colour_legend.h"
#include "dialog_fixture.h"
#include "orientation_axes.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_dialog.h"

#include <QtTest>

namespace {

// Pixels of `image` (top row first) that differ from `other` inside `area` (bottom-left
// coordinates, as the overlays lay themselves out).
int changed_pixels(const QImage& image, const QImage& other, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const int row = image.height() - 1 - y;
            n += image.pixel(x, row) != other.pixel(x, row);
        }
    return n;
}

} // namespace

class OverlayCommandsTest : public DialogFixture {
    Q_OBJECT

    TempDir dir;

private slots:
    void init() {
        start_dialog();
        QVERIFY(show());
    }
    void cleanup() { end_dialog(); }

    void legend_toggles_into_the_frame_and_save_image() {
        QAction* item = menu_item("Show &Legend");
        QVERIFY(item && item->isCheckable() && !item->isChecked());
        QVERIFY(!scene().legend.shown);
        const QImage before = main_view().grabFramebuffer();
        const QSize size = before.size();
        const LegendLayout l = LegendLayout::for_view(size.width(), size.height());
        QVERIFY(l.fits);
        const QRect bar(l.bar_x, l.bar_y, 2 * LegendLayout::column_width, l.bar_height);
        const QRect labels(l.bar_x - 60, l.bar_y - 8, 52, l.bar_height + 16);

        // A red ramp, so that the colour column is not black.
        const double x[2] = {0.8, 1.0}, y[2] = {1.0, 0.0};
        QVERIFY(scene_for_setup().red_curve.assign_points(2, x, y));
        scene_for_setup().red_curve.update_segments();
        item->trigger();
        QVERIFY(scene().legend.shown);
        QCOMPARE(dialog->history().stack().count(), 0); // a view setting, not an edit
        const QImage shown = main_view().grabFramebuffer();
        QVERIFY(changed_pixels(shown, before, bar) > bar.width() * bar.height() / 2);
        QVERIFY(changed_pixels(shown, before, labels) > 30); // the tick labels' text

        // Save Image writes the frame with its legend.
        const std::string path = dir.file("legend.png");
        prompts->file_answers.push_back(path);
        dialog->on_save_image();
        QCOMPARE(prompts->questions.back(), FileQuestion::save_image);
        const QImage saved(QString::fromStdString(path));
        QCOMPARE(saved.size(), size);
        QVERIFY(changed_pixels(saved.convertToFormat(QImage::Format_RGB32),
                               before.convertToFormat(QImage::Format_RGB32), bar) > 0);

        item->trigger();
        QVERIFY(!scene().legend.shown);
        QCOMPARE(main_view().grabFramebuffer(), before);
    }

    void axes_toggle_and_view_from_turns_them() {
        QAction* item = menu_item("Show A&xes");
        QVERIFY(item && item->isCheckable() && !item->isChecked());
        const QImage before = main_view().grabFramebuffer();
        item->trigger();
        QVERIFY(scene().axes.shown);
        QCOMPARE(dialog->history().stack().count(), 0);
        const QImage shown = main_view().grabFramebuffer();
        const AxesLayout a = AxesLayout::for_view(shown.width(), shown.height());
        const QRect corner(0, 0, static_cast<int>(2 * a.centre_x),
                           static_cast<int>(2 * a.centre_y));
        QVERIFY(changed_pixels(shown, before, corner) > 100);

        // View From +z: the eye above the grid, looking down its z axis.
        QAction* from_z = menu_item("+z");
        QVERIFY(from_z);
        from_z->trigger();
        const Camera& camera = scene().view_controller.camera;
        QCOMPARE(camera.axis(0).z, 1.0);
        QCOMPARE(camera.distance(), 750.0);
        QVERIFY(main_view().grabFramebuffer() != shown); // the triad turned
        QAction* from_minus_y = menu_item("-y");
        QVERIFY(from_minus_y);
        from_minus_y->trigger();
        QCOMPARE(camera.axis(0).y, -1.0);
        QCOMPARE(camera.axis(2).z, 1.0);
    }
};

QTEST_MAIN(OverlayCommandsTest)
#include "overlay_commands_test.moc"
