// The scene wiring and the commands that act on it: slider releases, "Set Transfer Func" and
// the real-time update after curve edits.
#include "dialog_fixture.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_dialog.h"

#include <QPushButton>
#include <QtTest>

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

class SceneTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDialogPrompts> prompts;
    std::unique_ptr<CVolumeDialog> dialog;
    TempDir dir;

    // A paint of the dialog itself, as an expose would cause. (repaint() is not synchronous
    // once the window composes GL views.)
    void repaint_dialog() {
        dialog->update();
        QTest::qWait(100);
    }

    void load_small_grid() {
        dialog->open_grid_path(dir.write("grid.txt", small_grid()));
        QCOMPARE(dialog->colour_volume.nx, 4);
    }

private slots:
    void init() {
        prompts = std::make_unique<ScriptedDialogPrompts>();
        dialog = std::make_unique<CVolumeDialog>(nullptr, prompts.get());
        QVERIFY(show_ready(*dialog));
    }
    void cleanup() {
        dialog.reset();
        prompts.reset();
    }

    void wiring_connects_views_curves_and_renderer() {
        CVolumeDialog& d = *dialog;
        QCOMPARE(d.colour_volume.ncomp, 4);
        QVERIFY(d.colour_volume.rgba);
        QCOMPARE(d.splat_renderer.camera, &d.view_controller.camera);
        QCOMPARE(d.splat_renderer.volume, &d.colour_volume);
        QCOMPARE(d.splat_renderer.value_std_dev, 0.0);
        QCOMPARE(d.splat_renderer.value_mean, 0.0);
        QCOMPARE(d.splat_renderer.step_x + d.splat_renderer.step_y + d.splat_renderer.step_z, 3);
        QCOMPARE(d.splat_renderer.mode, 1);
        QCOMPARE(d.view_controller.camera.distance(), 750.0);
        QVERIFY(d.view_controller.lighting_enabled);
        QCOMPARE(d.view_controller.drag_y_axis, 1);
        QCOMPARE(d.view_controller.drag_x_axis, 0);
        QCOMPARE(d.main_view.draw_list,
                 (std::vector<Drawable*>{static_cast<Drawable*>(&d.view_controller),
                                         &d.splat_renderer}));
        QCOMPARE(d.main_view.mouse_listener, static_cast<MouseListener*>(&d.view_controller));
        QVERIFY(d.main_view.projection_enabled);
        QVERIFY(!d.main_view.refresh_projection);
        QVERIFY(!d.main_view.projection_camera);

        const struct {
            TransferFunction& curve;
            CGLView& panel;
            CurveColour colour;
        } pairs[] = {{d.red_curve, d.red_panel, {1, 0, 0}},
                     {d.green_curve, d.green_panel, {0, 1, 0}},
                     {d.blue_curve, d.blue_panel, {0, 0, 1}},
                     {d.opacity_curve, d.opacity_panel, {1, 1, 1}}};
        for (const auto& p : pairs) {
            QCOMPARE(p.curve.colour.r, p.colour.r);
            QCOMPARE(p.curve.colour.g, p.colour.g);
            QCOMPARE(p.curve.colour.b, p.colour.b);
            QCOMPARE(p.curve.vertical_scale, 0.7);
            QCOMPARE(p.curve.projection, &p.panel.projection);
            QCOMPARE(p.curve.listener, static_cast<ChangeListener*>(&d));
            // Histogram behind the curve, handles in front; both menu items off leave the
            // curve alone.
            QCOMPARE(p.panel.draw_list.size(), std::size_t(3));
            QCOMPARE(p.panel.draw_list[1], static_cast<Drawable*>(&p.curve));
            QCOMPARE(p.panel.mouse_listener, static_cast<MouseListener*>(&p.curve));
            QVERIFY(p.panel.projection_enabled && p.panel.refresh_projection);
            QCOMPARE(p.panel.projection_camera, &p.curve.pick_camera);
        }
        d.show_histograms_item()->setChecked(false);
        d.show_handles_item()->setChecked(false);
        for (const auto& p : pairs)
            QCOMPARE(p.panel.draw_list, std::vector<Drawable*>{static_cast<Drawable*>(&p.curve)});
    }

    void release_with_low_end_0_gives_offset_5_and_scale_10() {
        for (int x : {20, 150}) { // the same edit texts twice: the handlers still run
            drag_slider(dialog->offset_slider, x);
            QCOMPARE(dialog->low_end_edit.text(), QString("0.000000"));
            QCOMPARE(dialog->range_edit.text(), QString("100.000000"));
            QCOMPARE(dialog->offset_slider.get_pos(), 0);
            QCOMPARE(dialog->scale_slider.get_pos(), 100);
            QCOMPARE(dialog->splat_renderer.opacity_offset, 5.0);
            QCOMPARE(dialog->splat_renderer.opacity_scale, 10.0);
            // The rewritten texts are shown from their start: "100.000000", not "00.000000".
            QCOMPARE(dialog->range_edit.cursorPosition(), 0);
            QCOMPARE(dialog->low_end_edit.cursorPosition(), 0);
            drag_slider(dialog->scale_slider, x);
            QCOMPARE(dialog->scale_slider.get_pos(), 100);
            QCOMPARE(dialog->splat_renderer.opacity_offset, 5.0);
        }
    }

    void release_with_low_end_30_gives_offset_2() {
        dialog->low_end_edit.setText("30");
        drag_slider(dialog->scale_slider, 10);
        QCOMPARE(dialog->low_end_edit.text(), QString("30.000000"));
        QCOMPARE(dialog->low_end, 30.0);
        QCOMPARE(dialog->offset_slider.get_pos(), 30);
        QCOMPARE(dialog->splat_renderer.opacity_offset, 2.0);
        QCOMPARE(dialog->splat_renderer.opacity_scale, 10.0);
        // A later paint of the dialog shows the renderer's fields: (5 - 2) * 10 and 10 * 10.
        dialog->offset_slider.set_pos(77);
        repaint_dialog();
        QCOMPARE(dialog->offset_slider.get_pos(), 30);
        QCOMPARE(dialog->scale_slider.get_pos(), 100);
    }

    void keyboard_move_does_not_reach_the_renderer_and_the_next_paint_undoes_it() {
        repaint_dialog();
        QCOMPARE(dialog->scale_slider.get_pos(), 10);
        dialog->scale_slider.setFocus();
        QTest::keyClick(&dialog->scale_slider, Qt::Key_Right);
        QCOMPARE(dialog->scale_slider.get_pos(), 11);
        QCOMPARE(dialog->splat_renderer.opacity_scale, 1.0);
        repaint_dialog();
        QCOMPARE(dialog->scale_slider.get_pos(), 10);
    }

    void set_transfer_func_before_any_file_shows_the_cleared_background() {
        static_cast<QPushButton*>(dialog->control(1007))->click();
        QCOMPARE(dialog->colour_volume.nx, 0);
        const QImage image = dialog->main_view.grabFramebuffer();
        QCOMPARE(image.size(), dialog->main_view.size());
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                QCOMPARE(image.pixel(x, y) & 0xFFFFFFu, 0u);
        QCOMPARE(prompts->messages.size(), std::size_t(1)); // nothing reported
    }

    void curve_edit_without_realtime_leaves_the_colour_volume() {
        load_small_grid();
        dialog->on_set_transfer_func();
        const std::vector<float> before = colour_samples(dialog->colour_volume);
        QWidget& panel = dialog->opacity_panel;
        const QPoint at(panel.width() / 2, panel.height() / 4);
        move_over(panel, at, Qt::LeftButton);
        move_over(panel, at + QPoint(3, 0), Qt::LeftButton);
        move_over(panel, at + QPoint(3, 0), Qt::NoButton);
        QCOMPARE(dialog->opacity_curve.count, 2); // a point was inserted and moved
        QCOMPARE(colour_samples(dialog->colour_volume), before);
    }

    // Each event with a button held classifies before its panel repaints, so the first one
    // still sees the segments of the previous paint.
    void curve_edit_with_realtime_classifies_at_each_event() {
        load_small_grid();
        dialog->realtime_check.setChecked(true);
        dialog->on_set_transfer_func();
        const std::vector<float> before = colour_samples(dialog->colour_volume);
        QWidget& panel = dialog->green_panel;
        const QPoint at(panel.width() / 2, panel.height() / 5);
        move_over(panel, at, Qt::LeftButton);
        QCOMPARE(dialog->green_curve.count, 2);
        QCOMPARE(colour_samples(dialog->colour_volume), before);
        move_over(panel, at + QPoint(2, 0), Qt::LeftButton);
        QVERIFY(colour_samples(dialog->colour_volume) != before);
    }

    // After "Open File" the colour volume holds zeros, not whatever was in memory: a frame
    // drawn before the next classification (a mere mouse movement draws one) shows only the
    // black background.
    void drawing_after_open_file_shows_the_background_until_classified() {
        dialog->red_curve.insert(0.5, 0.9);
        dialog->opacity_curve.insert(0.5, 0.9);
        for (TransferFunction* curve : {&dialog->red_curve, &dialog->opacity_curve}) {
            curve->segments_built = false;
            curve->update_segments();
        }
        load_small_grid();
        dialog->view_controller.camera.set_distance(12.0);
        dialog->on_set_transfer_func();
        const auto lit_pixels = [&] {
            const QImage image = dialog->main_view.grabFramebuffer();
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
        QCOMPARE(dialog->colour_volume.nz, 3);
        for (float v : colour_samples(dialog->colour_volume))
            QCOMPARE(v, 0.0f);
        move_over(dialog->main_view, QPoint(20, 20), Qt::NoButton);
        QCOMPARE(lit_pixels(), 0);
    }

    void classification_of_a_new_grid_waits_for_the_next_command() {
        dialog->red_curve.insert(0.5, 0.9);
        dialog->red_curve.segments_built = false;
        dialog->red_curve.update_segments();
        load_small_grid();
        dialog->on_set_transfer_func();
        const std::vector<float> first = colour_samples(dialog->colour_volume);
        std::string other = "2 3 4 2\n";
        for (int i = 0; i < 24; ++i)
            other += "  0 0 0 60 70\n";
        dialog->open_grid_path(dir.write("other.txt", other));
        QCOMPARE(dialog->data_volume.stat_max, 70.0);
        QCOMPARE(colour_samples(dialog->colour_volume).size(), first.size());
        QCOMPARE(dialog->splat_renderer.value_mean, 0.0); // taken once at start-up
        dialog->realtime_check.setChecked(true);
        dialog->changed();
        QVERIFY(colour_samples(dialog->colour_volume) != first);
    }
};

QTEST_MAIN(SceneTest)
#include "scene_test.moc"
