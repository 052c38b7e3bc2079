// The main view while the user interacts: frames presented again when nothing changed, coarse
// frames while a button is held or curves are edited in real time (forced here by a tiny frame
// budget), the full frame on release, and the "Fast Interaction" switch.
#include "dialog_fixture.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_dialog.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// A 20 x 16 x 12 grid with two components: a warm ball whose second value is a little higher.
std::string ball_grid() {
    std::string text = "12 16 20 2\n";
    for (int z = 0; z < 12; ++z)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) {
                const double r = std::sqrt((x - 10.0) * (x - 10.0) + (y - 8.0) * (y - 8.0) +
                                           (z - 6.0) * (z - 6.0));
                const double t = 20.0 + 60.0 * std::exp(-r * r / 30.0);
                text += "0 0 0 " + std::to_string(t) + " " + std::to_string(t + 6.0) + "\n";
            }
    return text;
}

void send_mouse(QWidget& view, QEvent::Type type, QPoint at, Qt::MouseButton button,
                Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(at), view.mapToGlobal(QPointF(at)), button, buttons,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &e);
}

void move(QWidget& view, QPoint at, Qt::MouseButtons buttons) {
    send_mouse(view, QEvent::MouseMove, at, Qt::NoButton, buttons);
}

void release(QWidget& view, QPoint at, Qt::MouseButton button) {
    send_mouse(view, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

QImage shown(CGLView& view) {
    return view.grabFramebuffer().convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

} // namespace

class InteractionTest : public DialogFixture {
    Q_OBJECT

    TempDir dir;

    // The plain procedure's frame for the current state, with the switch restored after.
    QImage full_frame() {
        const bool fast = dialog->fast_interaction();
        dialog->set_fast_interaction(false);
        main_view().repaint();
        const QImage image = shown(main_view());
        dialog->set_fast_interaction(fast);
        return image;
    }

    bool coarse() const {
        const SplatRenderer& r = scene().splat_renderer;
        return r.coarse() && r.step_x * r.step_y * r.step_z == 1;
    }

    bool full_detail() const {
        const SplatRenderer& r = scene().splat_renderer;
        return !r.coarse() && r.step_x == 1 && r.step_y == 1 && r.step_z == 1 &&
               !r.step_opacity_correction;
    }

private slots:
    void init() {
        start_dialog();
        QVERIFY(show_ready(*dialog));
        QVERIFY(dialog->load_curves_file(HALVORN_SAMPLE_CURVES));
        dialog->open_grid_path(dir.write("ball.txt", ball_grid()));
        QCOMPARE(scene().colour_volume.nx, 20);
        scene_for_setup().view_controller.camera.set_distance(45.0);
        dialog->on_set_transfer_func();
        // Every full frame is over this budget, so every interactive frame is coarse.
        scene_for_setup().interactive_detail.budget_seconds = 1e-9;
    }
    void cleanup() { end_dialog(); }

    void unchanged_view_presents_its_last_frame_again() {
        CGLView& view = main_view();
        const QImage before = shown(view);
        const std::int64_t drawn = view.frames_drawn;
        for (int i = 0; i < 5; ++i)
            move(view, QPoint(30 + i, 40), Qt::NoButton);
        QCOMPARE(view.frames_drawn, drawn);
        QCOMPARE(shown(view), before);
        QCOMPARE(full_frame(), before); // the pixels of a full redraw

        // A change the view cannot see for itself is announced, and the next movement draws.
        std::memset(scene().colour_volume.samples, 0,
                    scene().colour_volume.sample_count() * sizeof(float));
        main_view().invalidate();
        move(view, QPoint(50, 40), Qt::NoButton);
        QCOMPARE(view.frames_drawn, drawn + 2);
        const QImage black = shown(view);
        for (int y = 0; y < black.height(); y += 5)
            for (int x = 0; x < black.width(); x += 5)
                QCOMPARE(black.pixel(x, y) & 0xFFFFFFu, 0u);
    }

    void drag_draws_coarse_frames_and_release_the_full_frame() {
        CGLView& view = main_view();
        QVERIFY(dialog->fast_interaction());
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            const QPoint at(view.width() / 2, view.height() / 2);
            move(view, at, button);
            std::int64_t drawn = view.frames_drawn;
            for (int i = 1; i <= 3; ++i) {
                move(view, at + QPoint(4 * i, -3 * i), button);
                QVERIFY(coarse());
                QCOMPARE(view.frames_drawn, ++drawn);
            }
            const QImage last_coarse = shown(view);
            release(view, at + QPoint(12, -9), button);
            QVERIFY(full_detail());
            QCOMPARE(view.frames_drawn, drawn + 1);
            const QImage after = shown(view);
            QVERIFY(after != last_coarse);
            QCOMPARE(after, full_frame());
        }
    }

    void fast_interaction_off_draws_every_frame_in_full() {
        QAction* item = nullptr;
        for (QAction* a : (&menu())->actions())
            if (a->text().remove('&') == "Fast Interaction")
                item = a;
        QVERIFY(item);
        QVERIFY(item->isCheckable() && item->isChecked());
        item->trigger();
        QVERIFY(!dialog->fast_interaction());

        CGLView& view = main_view();
        const QPoint at(view.width() / 2, view.height() / 2);
        move(view, at, Qt::LeftButton);
        for (int i = 1; i <= 3; ++i) {
            move(view, at + QPoint(5 * i, 2 * i), Qt::LeftButton);
            QVERIFY(full_detail());
            const QImage frame = shown(view);
            view.repaint();
            QCOMPARE(frame, shown(view));
        }
        const std::int64_t drawn = view.frames_drawn;
        release(view, at + QPoint(15, 6), Qt::LeftButton);
        QCOMPARE(view.frames_drawn, drawn); // nothing to draw again, as without the switch

        dialog->set_fast_interaction(true);
        QVERIFY(item->isChecked());
    }

    // A realtime edit of the opacity curve computes the opacity channel only, draws coarse
    // main-view frames until the panel's button is released, and ends with the full frame of a
    // colour volume equal to a full classification.
    void realtime_edit_is_coarse_until_release() {
        realtime_check().setChecked(true);
        CGLView& view = panel(Channel::opacity);
        const QPoint at(view.width() * 7 / 10, view.height() / 2);
        for (int i = 0; i < 4; ++i) {
            move(view, at + QPoint(0, (i % 2 ? -1 : 1) * (3 + i)), Qt::LeftButton);
            QVERIFY(coarse());
            QCOMPARE(scene().last_channels() & 0x7, 0);
        }
        QVERIFY(scene().last_channels() == 0x8);
        release(view, at, Qt::LeftButton);
        QVERIFY(full_detail());
        QCOMPARE(shown(main_view()), full_frame());

        // After "Set Transfer Func" an unchanged curve computes nothing, and a changed one its
        // own channel, bit for bit as a full classification.
        dialog->on_set_transfer_func();
        dialog->changed();
        QCOMPARE(scene().last_channels(), 0);
        TransferFunction& opacity = scene_for_setup().opacity_curve;
        opacity.set_point(0, opacity.x[0], opacity.y[0] + 0.1);
        opacity.update_segments();
        dialog->changed();
        QCOMPARE(scene().last_channels(), 0x8);
        Volume reference;
        reference.allocate(20, 16, 12, 4);
        const TransferFunction* curves[4] = {&scene().red_curve, &scene().green_curve,
                                             &scene().blue_curve, &scene().opacity_curve};
        QVERIFY(classify(reference, scene().data_volume, curves, scene().classify_settings()));
        QCOMPARE(std::memcmp(reference.samples, scene().colour_volume.samples,
                             reference.sample_count() * sizeof(float)),
                 0);
    }
};

QTEST_MAIN(InteractionTest)
#include "interaction_test.moc"
