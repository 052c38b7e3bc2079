// The scene wiring and the commands that act on it: slider releases, "Set Transfer Func" and
// the real-time update after curve edits.
#include "dialog_fixture.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_dialog.h"

#include <QPushButton>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// A 4 x 3 x 2 grid with two components: 5..51 and 20 above it.
std::string small_grid() {
    std::string text = "2 3 4 2\n";
    for (int i = 0; i < 24; ++i)
        text += "  0 0 0 " + std::to_string(5 + 2 * i) + " " + std::to_string(25 + 2 * i) + "\n";
    return text;
}

std::vector<float> colour_samples(const Volume& v) {
    return std::vector<float>(v.samples, v.samples + v.sample_count());
}

// Presses and releases the left button on a slider after dragging it to `x`.
void drag_slider(QWidget& slider, int x) {
    const QPoint handle(slider.width() / 2, slider.height() / 2);
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, handle);
    QTest::mouseMove(&slider, QPoint(x, handle.y()));
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(x, handle.y()));
}

} // namespace

class SceneTest : public DialogFixture {
    Q_OBJECT

    TempDir dir;

    // A paint of the dialog itself, as an expose would cause. (repaint() is not synchronous
    // once the window composes GL views.)
    void repaint_dialog() {
        dialog->update();
        QTest::qWait(100);
    }

    void load_small_grid() {
        dialog->open_grid_path(dir.write("grid.txt", small_grid()));
        QCOMPARE(scene().colour_volume.nx, 4);
    }

private slots:
    void init() {
        start_dialog();
        QVERIFY(show_ready(*dialog));
    }
    void cleanup() { end_dialog(); }

    // A left drag in a panel edits that panel's curve and no other, drawn in its colour; the
    // main view turns with a left drag and draws the colour volume the curves give.
    void each_view_edits_and_draws_its_own_part_of_the_scene() {
        const CurveColour colours[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
        for (Channel c : all_channels) {
            CGLView& view = panel(c);
            const QPoint at(view.width() / 2, view.height() / 4);
            move_over(view, at, Qt::LeftButton);
            move_over(view, at + QPoint(2, 0), Qt::LeftButton);
            move_over(view, at + QPoint(2, 0), Qt::NoButton);
            for (Channel other : all_channels)
                QCOMPARE(scene().curve(other).count,
                         channel_index(other) <= channel_index(c) ? 2 : 1);
            // The curve's line crosses the middle column in the curve's colour.
            const QImage image = view.grabFramebuffer();
            const CurveColour& want = colours[channel_index(c)];
            bool drawn = false;
            for (int y = 0; y < image.height(); ++y) {
                const QColor px = image.pixelColor(image.width() / 2, y);
                drawn = drawn || (std::abs(px.redF() - want.r) < 0.1 &&
                                  std::abs(px.greenF() - want.g) < 0.1 &&
                                  std::abs(px.blueF() - want.b) < 0.1);
            }
            QVERIFY2(drawn, qPrintable(QString::number(channel_index(c))));
        }

        QVERIFY(dialog->load_curves_file(HALVORN_SAMPLE_CURVES));
        load_small_grid();
        dialog->place_camera(12.0, 0.0, 0.0);
        dialog->on_set_transfer_func();
        const QImage shown = main_view().grabFramebuffer();
        QVERIFY(shown != QImage(shown.size(), shown.format()));
        const Mat3 before = scene().view_controller.camera.orientation;
        move_over(main_view(), QPoint(100, 100), Qt::LeftButton);
        move_over(main_view(), QPoint(140, 100), Qt::LeftButton);
        move_over(main_view(), QPoint(140, 100), Qt::NoButton);
        QVERIFY(scene().view_controller.camera.orientation.row(1).y != before.row(1).y); // a roll
        QVERIFY(main_view().grabFramebuffer() != shown);
    }

    // The two overlays are beside the curve; with both menu items off a panel draws exactly
    // what it drew without them: its curve alone.
    void with_both_overlays_off_a_panel_draws_its_curve_alone() {
        for (Channel c : all_channels)
            QCOMPARE(panel(c).draw_list.size(), std::size_t(3));
        dialog->menu().show_histograms_item()->setChecked(false);
        dialog->menu().show_handles_item()->setChecked(false);
        for (Channel c : all_channels)
            QCOMPARE(panel(c).draw_list,
                     std::vector<Drawable*>{const_cast<TransferFunction*>(&scene().curve(c))});
    }

    void release_with_low_end_0_gives_offset_5_and_scale_10() {
        for (int x : {20, 150}) { // the same edit texts twice: the handlers still run
            drag_slider(offset_slider(), x);
            QCOMPARE(low_end_edit().text(), QString("0.000000"));
            QCOMPARE(range_edit().text(), QString("100.000000"));
            QCOMPARE(offset_slider().get_pos(), 0);
            QCOMPARE(scale_slider().get_pos(), 100);
            QCOMPARE(scene().splat_renderer.opacity_offset, 5.0);
            QCOMPARE(scene().splat_renderer.opacity_scale, 10.0);
            // The rewritten texts are shown from their start: "100.000000", not "00.000000".
            QCOMPARE(range_edit().cursorPosition(), 0);
            QCOMPARE(low_end_edit().cursorPosition(), 0);
            drag_slider(scale_slider(), x);
            QCOMPARE(scale_slider().get_pos(), 100);
            QCOMPARE(scene().splat_renderer.opacity_offset, 5.0);
        }
    }

    void release_with_low_end_30_gives_offset_2() {
        low_end_edit().setText("30");
        drag_slider(scale_slider(), 10);
        QCOMPARE(low_end_edit().text(), QString("30.000000"));
        QCOMPARE(scene().low_end, 30.0);
        QCOMPARE(offset_slider().get_pos(), 30);
        QCOMPARE(scene().splat_renderer.opacity_offset, 2.0);
        QCOMPARE(scene().splat_renderer.opacity_scale, 10.0);
        // A later paint of the dialog shows the renderer's fields: (5 - 2) * 10 and 10 * 10.
        offset_slider().set_pos(77);
        repaint_dialog();
        QCOMPARE(offset_slider().get_pos(), 30);
        QCOMPARE(scale_slider().get_pos(), 100);
    }

    void keyboard_move_does_not_reach_the_renderer_and_the_next_paint_undoes_it() {
        repaint_dialog();
        QCOMPARE(scale_slider().get_pos(), 10);
        scale_slider().setFocus();
        QTest::keyClick(&scale_slider(), Qt::Key_Right);
        QCOMPARE(scale_slider().get_pos(), 11);
        QCOMPARE(scene().splat_renderer.opacity_scale, 1.0);
        repaint_dialog();
        QCOMPARE(scale_slider().get_pos(), 10);
    }

    void set_transfer_func_before_any_file_shows_the_cleared_background() {
        static_cast<QPushButton*>(dialog->control(1007))->click();
        QCOMPARE(scene().colour_volume.nx, 0);
        const QImage image = main_view().grabFramebuffer();
        QCOMPARE(image.size(), main_view().size());
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                QCOMPARE(image.pixel(x, y) & 0xFFFFFFu, 0u);
        QCOMPARE(prompts->messages.size(), std::size_t(1)); // nothing reported
    }

    void curve_edit_without_realtime_leaves_the_colour_volume() {
        load_small_grid();
        dialog->on_set_transfer_func();
        const std::vector<float> before = colour_samples(scene().colour_volume);
        QWidget& view = panel(Channel::opacity);
        const QPoint at(view.width() / 2, view.height() / 4);
        move_over(view, at, Qt::LeftButton);
        move_over(view, at + QPoint(3, 0), Qt::LeftButton);
        move_over(view, at + QPoint(3, 0), Qt::NoButton);
        QCOMPARE(scene().opacity_curve.count, 2); // a point was inserted and moved
        QCOMPARE(colour_samples(scene().colour_volume), before);
    }

    // Each event with a button held classifies before its panel repaints, so the first one
    // still sees the segments of the previous paint.
    void curve_edit_with_realtime_classifies_at_each_event() {
        load_small_grid();
        realtime_check().setChecked(true);
        dialog->on_set_transfer_func();
        const std::vector<float> before = colour_samples(scene().colour_volume);
        QWidget& view = panel(Channel::green);
        const QPoint at(view.width() / 2, view.height() / 5);
        move_over(view, at, Qt::LeftButton);
        QCOMPARE(scene().green_curve.count, 2);
        QCOMPARE(colour_samples(scene().colour_volume), before);
        move_over(view, at + QPoint(2, 0), Qt::LeftButton);
        QVERIFY(colour_samples(scene().colour_volume) != before);
    }

    // After "Open File" the colour volume holds zeros, not whatever was in memory: a frame
    // drawn before the next classification (a mere mouse movement draws one) shows only the
    // black background.
    void drawing_after_open_file_shows_the_background_until_classified() {
        scene_for_setup().red_curve.insert(0.5, 0.9);
        scene_for_setup().opacity_curve.insert(0.5, 0.9);
        for (TransferFunction* curve :
             {&scene_for_setup().red_curve, &scene_for_setup().opacity_curve}) {
            curve->segments_built = false;
            curve->update_segments();
        }
        load_small_grid();
        scene_for_setup().view_controller.camera.set_distance(12.0);
        dialog->on_set_transfer_func();
        const auto lit_pixels = [&] {
            const QImage image = main_view().grabFramebuffer();
            int lit = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    lit += (image.pixel(x, y) & 0xFFFFFFu) != 0;
            return lit;
        };
        QVERIFY(lit_pixels() > 1000);
        std::string bigger = "3 3 4 2\n";
        for (int i = 0; i < 36; ++i)
            bigger += "  0 0 0 30 40\n";
        dialog->open_grid_path(dir.write("bigger.txt", bigger));
        QCOMPARE(scene().colour_volume.nz, 3);
        for (float v : colour_samples(scene().colour_volume))
            QCOMPARE(v, 0.0f);
        move_over(main_view(), QPoint(20, 20), Qt::NoButton);
        QCOMPARE(lit_pixels(), 0);
    }

    void classification_of_a_new_grid_waits_for_the_next_command() {
        scene_for_setup().red_curve.insert(0.5, 0.9);
        scene_for_setup().red_curve.segments_built = false;
        scene_for_setup().red_curve.update_segments();
        load_small_grid();
        dialog->on_set_transfer_func();
        const std::vector<float> first = colour_samples(scene().colour_volume);
        std::string other = "2 3 4 2\n";
        for (int i = 0; i < 24; ++i)
            other += "  0 0 0 60 70\n";
        dialog->open_grid_path(dir.write("other.txt", other));
        QCOMPARE(scene().data_volume.stat_max, 70.0);
        QCOMPARE(colour_samples(scene().colour_volume).size(), first.size());
        QCOMPARE(scene().splat_renderer.value_mean, 0.0); // taken once at start-up
        realtime_check().setChecked(true);
        dialog->changed();
        QVERIFY(colour_samples(scene().colour_volume) != first);
    }
};

QTEST_MAIN(SceneTest)
#include "scene_test.moc"
