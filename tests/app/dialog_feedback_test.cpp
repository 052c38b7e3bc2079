// The dialog as a scientist uses it: ending without losing the curves, a view that follows the
// window and the grid at any distance, stretch and flip, turntable drags, and a text area and
// button that say when the picture is stale or the values do something odd.
#include "dialog_fixture.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_dialog.h"

#include <QtTest>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

namespace {

// An n x n x m grid of two components, values 40 to 60: drawn opaque white by white_curves.
std::string block_grid(int n, int m) {
    std::string text =
        std::to_string(m) + " " + std::to_string(n) + " " + std::to_string(n) + " 2\n";
    for (int i = 0; i < n * n * m; ++i) {
        const std::string v = std::to_string(40 + i % 21);
        text += "  0 0 0 " + v + " " + v + "\n";
    }
    return text;
}

const char* const white_curves = R"({ "low": 0, "range": 100,
  "red": [[0.01, 1.0], [0.99, 1.0], [1.0, 0.0]], "green": [[0.01, 1.0], [0.99, 1.0], [1.0, 0.0]],
  "blue": [[0.01, 1.0], [0.99, 1.0], [1.0, 0.0]],
  "opacity": [[0.01, 1.0], [0.99, 1.0], [1.0, 0.0]] })";

// The rectangle of pixels that are not black, empty when there are none.
QRect lit_area(const QImage& image) {
    QRect lit;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) != 0)
                lit |= QRect(x, y, 1, 1);
    return lit;
}

double mean_difference(const QImage& a, const QImage& b) {
    double sum = 0.0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

class DialogFeedbackTest : public DialogFixture {
    Q_OBJECT

    TempDir dir;

    void drag_a_curve_point() {
        CGLView& view = panel(Channel::red);
        const QPoint at(view.width() / 2, view.height() / 3);
        QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, at);
        move_over(view, at, Qt::LeftButton);
        move_over(view, at + QPoint(4, 2), Qt::LeftButton);
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, at + QPoint(4, 2));
    }
    QString text() const { return dialog->info_text().toPlainText(); }
    bool button_bold() const { return button(1007).font().bold(); }

    void load_white_block(int n, int m) {
        QVERIFY(dialog->load_curves_file(dir.write("white.json", white_curves)));
        dialog->open_grid_path(dir.write("block.txt", block_grid(n, m)));
        QCOMPARE(scene().data_volume.nx, n);
        dialog->on_set_transfer_func();
    }

private slots:
    void init() {
        start_dialog();
        QVERIFY(show());
    }
    void cleanup() { end_dialog(); }

    // Unchanged curves end at once; changed ones ask, and Cancel, or a save that does not
    // happen, keeps the dialog open. Saving or loading makes the curves unchanged again.
    void ending_asks_to_save_changed_curves() {
        dialog->OnOK();
        QCOMPARE(prompts->close_questions, 0);
        QVERIFY(!dialog->isVisible());

        dialog->show();
        drag_a_curve_point();
        QVERIFY(dialog->curves_changed());
        prompts->close_answers = {CloseChoice::cancel, CloseChoice::save, CloseChoice::save};
        dialog->OnCancel();
        QVERIFY(dialog->isVisible());
        dialog->close(); // the close box: Save, but the file dialog is cancelled
        QVERIFY(dialog->isVisible());
        QCOMPARE(prompts->close_questions, 2);
        const std::string saved = dir.file("kept.json");
        prompts->file_answers = {saved};
        dialog->OnOK();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(std::filesystem::exists(saved));

        // Loaded curves are unchanged curves; --no-confirm never asks.
        dialog->show();
        QVERIFY(dialog->load_curves_file(saved));
        QVERIFY(!dialog->curves_changed());
        range_edit().setText("80");
        dialog->set_confirm_end(false);
        dialog->reject();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(prompts->close_questions, 3);
    }

    // The main view takes the room of a larger window; the panels and controls keep their
    // places beside and below it; at the template size everything is where it was.
    void the_main_view_follows_the_window() {
        const QSize start = dialog->size();
        const QRect view = main_view().geometry(), red = panel(Channel::red).geometry();
        const QRect ok = button(1).geometry(), edit = low_end_edit().geometry();
        const QRect info = dialog->info_text().geometry();
        dialog->resize(start + QSize(300, 200));
        QTRY_COMPARE(dialog->size(), start + QSize(300, 200));
        QCOMPARE(main_view().geometry(), QRect(view.topLeft(), view.size() + QSize(300, 200)));
        QCOMPARE(panel(Channel::red).geometry(), red.translated(300, 0));
        QCOMPARE(button(1).geometry(), ok.translated(300, 200));
        QCOMPARE(low_end_edit().geometry(), edit.translated(0, 200));
        QCOMPARE(dialog->info_text().geometry(),
                 QRect(info.topLeft() + QPoint(0, 200), info.size() + QSize(300, 0)));
        QTRY_COMPARE(main_view().grabFramebuffer().size(), view.size() + QSize(300, 200));
        dialog->resize(start);
        QTRY_COMPARE(main_view().geometry(), view);
        QCOMPARE(panel(Channel::red).geometry(), red);
    }

    // Far away or stretched 20 times, the grid stays inside the clip planes; Fit View shows
    // all of it with a margin.
    void the_whole_grid_shows_at_any_distance_and_stretch() {
        load_white_block(40, 2);
        dialog->place_camera(5000.0, 0.4, 0.3);
        QVERIFY(!lit_area(main_view().grabFramebuffer()).isEmpty());
        dialog->set_axis_scale({20.0, 20.0, 20.0});
        dialog->on_fit_view();
        QVERIFY(scene().view_controller.camera.distance() > 1000.0);
        const QRect lit = lit_area(main_view().grabFramebuffer());
        QVERIFY(!lit.isEmpty());
        const QRect inside = main_view().rect().adjusted(2, 2, -2, -2);
        QVERIFY2(inside.contains(lit), qPrintable(QString("%1,%2 %3x%4")
                                                      .arg(lit.x())
                                                      .arg(lit.y())
                                                      .arg(lit.width())
                                                      .arg(lit.height())));
        QVERIFY(lit.width() > main_view().width() / 4 || lit.height() > main_view().height() / 4);
    }

    // A negative factor flips that axis: seen from the side, the flipped grid is the mirror
    // image of the plain one, lit and ordered the same way.
    void a_flipped_axis_mirrors_the_picture() {
        QVERIFY(dialog->load_curves_file(HALVORN_SAMPLE_CURVES));
        dialog->open_grid_path((std::filesystem::copy_file(HALVORN_SAMPLE_GRID, dir.file("s.txt")),
                                dir.file("s.txt")));
        dialog->on_set_transfer_func();
        dialog->place_camera(150.0, 0.0, 0.0);
        const QImage plain = main_view().grabFramebuffer();
        dialog->set_axis_scale({1.0, 1.0, -1.0});
        const QImage flipped = main_view().grabFramebuffer();
        QVERIFY(flipped != plain);
        QVERIFY(mean_difference(flipped, plain.mirrored(false, true)) < 1.0);
    }

    // Turntable drags turn the grid about its up axis and tilt it; the text area's camera
    // words follow.
    void turntable_drags_turn_about_the_up_axis() {
        QVERIFY(!dialog->menu().turntable_item()->isChecked());
        dialog->menu().turntable_item()->trigger();
        QVERIFY(scene().turntable());
        CGLView& view = main_view();
        move_over(view, QPoint(100, 100), Qt::LeftButton);
        move_over(view, QPoint(100 + view.width() / 4, 100), Qt::LeftButton);
        QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier,
                            QPoint(100 + view.width() / 4, 100));
        const Camera& camera = scene().view_controller.camera;
        QCOMPARE(camera.axis(2).z, 1.0); // the up axis stays up
        QVERIFY(std::abs(camera.axis(0).y) > 0.2);
        QVERIFY2(text().contains("--spin 0.2500"), qPrintable(text()));
        dialog->set_turntable(false);
        QVERIFY(!dialog->menu().turntable_item()->isChecked());
    }

    // A new grid is drawn at once (zeroed until it is classified): the last grid's picture
    // does not stay on show until something else asks for a frame.
    void a_new_grid_replaces_the_picture_at_once() {
        load_white_block(12, 6);
        dialog->place_camera(60.0, 0.0, 0.0);
        CGLView& view = main_view();
        QVERIFY(!lit_area(view.grabFramebuffer()).isEmpty());
        // Until the frames asked for so far are drawn.
        for (std::int64_t seen = -1; seen != view.frames_drawn;) {
            seen = view.frames_drawn;
            QTest::qWait(300);
        }
        const std::int64_t frames = view.frames_drawn;
        dialog->open_grid_path(dir.write("other.txt", block_grid(4, 2)));
        QTRY_VERIFY(view.frames_drawn > frames);
    }

    // The pointer resting on the grid names the grid point there, first in the text area,
    // and draws no frame; off the grid, off the view or with the item off, nothing is named.
    void the_value_under_the_pointer_is_named_without_a_frame() {
        load_white_block(12, 6);
        dialog->place_camera(60.0, 0.0, 0.0);
        CGLView& view = main_view();
        QVERIFY(!lit_area(view.grabFramebuffer()).isEmpty());
        const std::int64_t frames = view.frames_drawn;
        move_over(view, QPoint(view.width() / 2, view.height() / 2), Qt::NoButton);
        QVERIFY2(text().startsWith("Under the pointer: x "), qPrintable(text()));
        // Two equal components under the 1/n weighting: half the curves, opacity doubled.
        QVERIFY2(text().contains(": 40 40; colour 0.50 0.50 0.50, opacity 1.00"),
                 qPrintable(text()));
        QCOMPARE(view.frames_drawn, frames);
        move_over(view, QPoint(2, 2), Qt::NoButton);
        QVERIFY(!text().contains("Under the pointer"));
        move_over(view, QPoint(view.width() / 2, view.height() / 2), Qt::NoButton);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&view, &leave);
        QVERIFY(!text().contains("Under the pointer"));
        dialog->menu().show_probe_item()->trigger();
        move_over(view, QPoint(view.width() / 2, view.height() / 2), Qt::NoButton);
        QVERIFY(!text().contains("Under the pointer"));
    }

    // While the picture does not show the curves and data, the text area says so and the
    // button is marked.
    void a_stale_picture_is_marked() {
        dialog->open_grid_path(dir.write("b.txt", block_grid(6, 4)));
        QVERIFY(text().contains("Press \"Set Transfer Func\" to colour it."));
        QVERIFY(button_bold());
        dialog->on_set_transfer_func();
        QVERIFY(!button_bold());
        drag_a_curve_point();
        QVERIFY(button_bold());
        QVERIFY(text().contains("does not show the current curves"));
        dialog->on_set_transfer_func();
        QVERIFY(!button_bold());
        dialog->set_missing_data(MissingData::hidden);
        QVERIFY(button_bold());
        dialog->on_undo();
        QVERIFY(!button_bold());
        realtime_check().setChecked(true);
        drag_a_curve_point(); // coloured at every movement
        QVERIFY(!button_bold());
    }

    // Values that empty or squeeze the picture are named; a text that is not a number is
    // marked and its tooltip says what was kept.
    void odd_values_are_named_and_bad_texts_marked() {
        dialog->open_grid_path(dir.write("b.txt", block_grid(6, 4)));
        range_edit().setText("0");
        QVERIFY(text().contains("Range 0: nothing is coloured."));
        range_edit().setText("-50");
        QVERIFY(text().contains("Range negative"));
        range_edit().setText("1e30");
        QVERIFY(text().contains("over a thousand times"));
        range_edit().setText("100");
        QVERIFY(!text().contains("Range"));
        low_end_edit().setText("warm");
        QCOMPARE(scene().low_end, 0.0);
        QVERIFY(low_end_edit().toolTip().contains("stays 0"));
        QVERIFY(!low_end_edit().styleSheet().isEmpty());
        low_end_edit().setText("200");
        QVERIFY(low_end_edit().toolTip().isEmpty());
        QVERIFY(text().contains("No data lies in 200..300"));
        QVERIFY(!offset_slider().toolTip().isEmpty() && !scale_slider().toolTip().isEmpty());
    }

    // A NetCDF file whose grid needs a choice: the chooser offers its variable, the text area
    // describes what was opened, and a depth that grows downwards is drawn flipped.
    void a_netcdf_grid_is_chosen_and_described() {
        const std::string nc = dir.file("ocean.nc");
        std::filesystem::copy_file(HALVORN_OCEAN_NC, nc);
        dialog->open_grid_path(nc); // the chooser is cancelled: refused, saying what to add
        QVERIFY(prompts->messages.back().find("--components") != std::string::npos);
        QCOMPARE(scene().data_volume.nx, 0);
        QCOMPARE(prompts->offered.size(), std::size_t(1));
        QCOMPARE(prompts->offered[0].name, std::string("TEMP"));

        prompts->variable_answer = VariableChoice{{"TEMP"}, "TIME"};
        dialog->open_grid_path(nc);
        QCOMPARE(scene().data_volume.nx, 180);
        QCOMPARE(scene().data_volume.ncomp, 2);
        QVERIFY2(text().contains("x: LON"), qPrintable(text()));
        QVERIFY(text().contains("positive down"));
        // Its depth grows downwards but is stored deepest first: the surface is on top as
        // it stands, so no flip.
        QCOMPARE(scene().axis_scale().z, 1.0);
    }

    // The seconds a person spends in the import's questions are not the import's.
    void import_time_leaves_out_the_questions() {
        const std::string grid = dir.write("q.txt", block_grid(4, 2));
        std::filesystem::create_directory(grid + ".dat"); // the default cannot be written
        prompts->file_answers = {dir.file("elsewhere.dat")};
        prompts->on_message = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1200)); };
        dialog->open_grid_path(grid);
        prompts->on_message = nullptr;
        QCOMPARE(scene().data_volume.nx, 4);
        const int at = text().indexOf("Imported in ");
        QVERIFY(at >= 0);
        QVERIFY2(text().mid(at + 12, 4).toDouble() < 1.0, qPrintable(text()));
    }
};

QTEST_MAIN(DialogFeedbackTest)
#include "dialog_feedback_test.moc"
