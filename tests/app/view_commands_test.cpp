// What the dialog adds to the curve panels and its commands: histograms, undo and redo of a
// gesture, Fit Range to Data, Fit View, the wheel, Save Image and the text area.
#include "dialog_fixture.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_dialog.h"

#include <QtTest>

#include <memory>

namespace {

// A 16 x 12 x 8 grid with two components, values 10 to 50, and a corner without data.
std::string ramp_grid() {
    std::string text = "8 12 16 2\n";
    for (int z = 0; z < 8; ++z)
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool missing = x < 4 && y < 4 && z < 4;
                const int v = 10 + x + y + z * 2;
                text += missing
                            ? "0 0 0 -9999 -9999\n"
                            : "0 0 0 " + std::to_string(v) + " " + std::to_string(v + 20) + "\n";
            }
    return text;
}

// Pixels of the histogram's grey: neither black nor a curve's colour.
int grey_pixels(CGLView& panel) {
    const QImage image = panel.grabFramebuffer();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += qRed(p) == qGreen(p) && qGreen(p) == qBlue(p) && qRed(p) > 30 && qRed(p) < 90;
        }
    return n;
}

} // namespace

class ViewCommandsTest : public DialogFixture {
    Q_OBJECT

    TempDir dir;

private slots:
    void init() {
        start_dialog();
        QVERIFY(show_ready(*dialog));
        dialog->activateWindow(); // shortcuts reach the active window only
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }
    void cleanup() { end_dialog(); }

    void histogram_follows_the_range_and_its_menu_item() {
        CGLView& view = panel(Channel::green);
        QCOMPARE(grey_pixels(view), 0); // no grid, no histogram
        QVERIFY(dialog->info_text().toPlainText().contains("Open File"));
        dialog->open_grid_path(dir.write("ramp.txt", ramp_grid()));
        QVERIFY(dialog->info_text().toPlainText().contains("16 x 12 x 8 grid points"));
        QVERIFY(dialog->info_text().toPlainText().contains("Set Transfer Func"));
        const int wide = grey_pixels(view);
        QVERIFY(wide > 100);
        // Ten times the range: the data fills a tenth of the columns.
        range_edit().setText("1000");
        const int narrow = grey_pixels(view);
        QVERIFY(narrow > 0 && narrow < wide / 3);
        // A movement that changes nothing presents the view's last frame again.
        const std::int64_t drawn = view.frames_drawn;
        move_over(view, QPoint(20, 20), Qt::NoButton);
        QCOMPARE(view.frames_drawn, drawn);
        QCOMPARE(grey_pixels(view), narrow);
        dialog->menu().show_histograms_item()->setChecked(false);
        QCOMPARE(grey_pixels(view), 0);
        // A refused import keeps the grid's text and adds the refusal.
        dialog->open_grid_path(dir.write("bad.txt", "not a grid\n"));
        QVERIFY(dialog->info_text().toPlainText().contains("16 x 12 x 8"));
        QVERIFY(dialog->info_text().toPlainText().contains("Not imported: bad.txt"));
    }

    void undo_and_redo_a_drag_restore_the_panel() {
        CGLView& view = panel(Channel::red);
        view.repaint();
        const QImage before = view.grabFramebuffer();
        const QPoint at(view.width() / 2, view.height() / 3);
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, at);
        for (int i = 1; i <= 3; ++i)
            move_over(view, at + QPoint(i * 3, i), Qt::LeftButton);
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, at + QPoint(9, 3));
        view.repaint();
        const QImage after = view.grabFramebuffer();
        QVERIFY(after != before);
        QCOMPARE(dialog->history().stack().count(), 1); // the whole gesture is one step
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(scene().red_curve.count, 1);
        QCOMPARE(view.grabFramebuffer(), before);
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(view.grabFramebuffer(), after);
        // In an edit field Ctrl+Z undoes the typing, not the curve.
        low_end_edit().setFocus();
        QTest::keyClicks(&low_end_edit(), "5");
        QTest::keyClick(&low_end_edit(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(low_end_edit().text(), QString("0"));
        QCOMPARE(scene().red_curve.count, 2);
    }

    void fit_range_sets_the_edits_classifies_and_is_one_step() {
        dialog->on_fit_range(); // nothing without a grid
        QCOMPARE(dialog->history().stack().count(), 0);
        dialog->open_grid_path(dir.write("ramp.txt", ramp_grid()));
        QTest::keyClick(dialog.get(), Qt::Key_R, Qt::ControlModifier);
        // The smallest value outside the missing corner is 14, the largest 10+15+11+14+20.
        QCOMPARE(low_end_edit().text(), QString("14"));
        QCOMPARE(range_edit().text(), QString("56"));
        QCOMPARE(scene().low_end, 14.0);
        // Float samples are shown as floats.
        scene_for_setup().data_volume.stat_min = 3.002f;
        dialog->on_fit_range();
        QCOMPARE(low_end_edit().text(), QString("3.002"));
        QVERIFY(!dialog->info_text().toPlainText().contains("Set Transfer Func"));
        // Undone without Realtime Function Update: the picture keeps the colours of 3.002,
        // and the text area says so.
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(dialog->info_text().toPlainText().contains("does not show the current"));
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(range_edit().text(), QString("100"));
        QCOMPARE(scene().range, 100.0);
    }

    void fit_view_frames_the_grid_and_the_wheel_zooms() {
        dialog->open_grid_path(dir.write("ramp.txt", ramp_grid()));
        // Opaque white wherever there is data.
        for (TransferFunction* c :
             {&scene_for_setup().red_curve, &scene_for_setup().green_curve,
              &scene_for_setup().blue_curve, &scene_for_setup().opacity_curve}) {
            c->insert(0.01, 1.0);
            c->insert(0.99, 1.0);
            c->segments_built = false;
            c->update_segments();
        }
        dialog->on_set_transfer_func();
        Camera& camera = scene_for_setup().view_controller.camera;
        camera.rotate_right(Mat3::axis_rotation(0, 0.6));
        QTest::keyClick(dialog.get(), Qt::Key_F, Qt::ControlModifier);
        const QImage frame = main_view().grabFramebuffer();
        QRect lit;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                if (qGray(frame.pixel(x, y)) > 8)
                    lit |= QRect(x, y, 1, 1);
        QVERIFY(frame.rect().adjusted(1, 1, -1, -1).contains(lit));
        QVERIFY(lit.width() > frame.width() * 0.75 || lit.height() > frame.height() * 0.75);
        const double d = camera.distance();
        QWheelEvent notch(QPointF(10, 10), main_view().mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&main_view(), &notch);
        QCOMPARE(camera.distance(), d - 0.1 * (d + 1.0)); // a right drag up a tenth
        QTest::keyClick(dialog.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(camera.distance(), 750.0);
        QCOMPARE(camera.axis(0).x, 1.0);
    }

    void missing_data_is_an_undo_step_and_axis_scale_is_asked() {
        dialog->open_grid_path(dir.write("ramp.txt", ramp_grid()));
        realtime_check().setChecked(true);
        const Volume& colour = scene().colour_volume;
        // A corner of the block without data (mirrored along x on loading).
        const std::int64_t corner = colour.flat_index(15, 0, 0, 0);
        dialog->menu().missing_data_item(MissingData::hidden)->trigger();
        QCOMPARE(colour.samples[corner + 3], 0.0f);
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(dialog->menu().missing_data_item(MissingData::grey)->isChecked());
        QVERIFY(colour.samples[corner + 3] >= 0.8f);

        prompts->text_answers = {"0,1,1", "1,2.5,20"}; // the first is refused and asked again
        dialog->on_axis_scale();
        QCOMPARE(prompts->text_titles.size(), std::size_t(2));
        QCOMPARE(scene().splat_renderer.axis_scale.z, 20.0);
        QCOMPARE(scene().splat_renderer.axis_scale.y, 2.5);
    }

    void path_integration_is_an_undo_step() {
        // A grid point whose values rise and fall: the two walks give it different colours.
        dialog->open_grid_path(dir.write("fall.txt", "1 1 1 3\n  0 0 0 10 60 20\n"));
        QVERIFY(dialog->load_curves_file(HALVORN_SAMPLE_CURVES));
        realtime_check().setChecked(true);
        dialog->on_set_transfer_func();
        const Volume& colour = scene().colour_volume;
        const std::vector<float> exact(colour.samples, colour.samples + 4);
        dialog->menu().integration_item(PathIntegration::forward)->trigger();
        QCOMPARE(scene().integration, PathIntegration::forward);
        QVERIFY(std::vector<float>(colour.samples, colour.samples + 4) != exact);
        QTest::keyClick(dialog.get(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(dialog->menu().integration_item(PathIntegration::exact)->isChecked());
        QCOMPARE(std::vector<float>(colour.samples, colour.samples + 4), exact);
    }

    void save_image_failure_is_reported_and_leaves_no_file() {
        const std::string path = dir.file("missing-folder/view.png");
        prompts->file_answers.push_back(path);
        QTest::keyClick(dialog.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompts->questions.back(), FileQuestion::save_image);
        QVERIFY(prompts->messages.back().find("Cannot write") != std::string::npos);
        QVERIFY(!QFile::exists(QString::fromStdString(path)));
    }
};

QTEST_MAIN(ViewCommandsTest)
#include "view_commands_test.moc"
