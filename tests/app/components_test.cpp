// The dialog's "Components" window: its menu item and keys, the two boxes that pick the window
// of components the classification integrates, and Play, which slides that window.
#include "components_window.h"
#include "dialog_fixture.h"
#include "temp_dir.h"

#include <QtTest>

#include <algorithm>
#include <vector>

namespace {

// An 8 x 6 x 4 grid of `n` components whose values change along the path, with a corner
// without data.
std::string path_grid(int n) {
    std::string text = "4 6 8 " + std::to_string(n) + "\n";
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                text += "0 0 0";
                for (int c = 0; c < n; ++c) {
                    const bool missing = x < 2 && y < 2;
                    const int v = 15 + 4 * x + 3 * y + 5 * z + ((c * 29 + x) % 37);
                    text += missing ? " -9999" : " " + std::to_string(v);
                }
                text += "\n";
            }
    return text;
}

std::vector<float> colours(const Scene& scene) {
    const Volume& v = scene.colour_volume;
    return std::vector<float>(v.samples, v.samples + v.sample_count());
}

} // namespace

class ComponentsTest : public DialogFixture {
    Q_OBJECT

    TempDir dir;

    // A grid of `n` components, coloured through the sample curves.
    void open_coloured(int n) {
        dialog->open_grid_path(dir.write("grid.txt", path_grid(n)));
        QVERIFY(dialog->load_curves_file(HALVORN_SAMPLE_CURVES));
        dialog->on_set_transfer_func();
    }
    CComponentsWindow& open_window() {
        dialog->on_components();
        return *dialog->components_window();
    }

private slots:
    void init() {
        start_dialog();
        QVERIFY(show());
        dialog->activateWindow(); // shortcuts reach the active window only
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }
    void cleanup() { end_dialog(); }

    void the_boxes_pick_the_window_and_all_components_is_the_plain_picture() {
        QAction* item = menu_item("&Components...");
        QVERIFY(item);
        QCOMPARE(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
        open_coloured(4);
        const std::vector<float> plain = colours(scene());
        QVERIFY(!dialog->components_window());
        QTest::keyClick(dialog.get(), Qt::Key_T, Qt::ControlModifier);
        CComponentsWindow* w = dialog->components_window();
        QVERIFY(w && w->isVisible());
        QVERIFY(w->isWindow()); // a tool window of its own beside the dialog
        QCOMPARE(w->first_box().minimum(), 1);
        QCOMPARE(w->last_box().maximum(), 4);
        QCOMPARE(w->first_box().value(), 1);
        QCOMPARE(w->last_box().value(), 4);
        QCOMPARE(w->label_text(), QString("Components 1-4 of 4"));
        QCOMPARE(colours(scene()), plain); // opening it changes nothing

        const std::int64_t frames = main_view().frames_drawn;
        w->first_box().setValue(2);
        QCOMPARE(scene().window_first(), 1);
        QCOMPARE(scene().window_last(), 3);
        QVERIFY(colours(scene()) != plain); // classified and drawn at once
        QVERIFY(main_view().frames_drawn > frames);
        QCOMPARE(w->label_text(), QString("Components 2-4 of 4"));
        w->first_box().setValue(1);
        QCOMPARE(colours(scene()), plain); // every component again: today's colours

        // The ends never cross: the other box follows the one moved past it.
        w->first_box().setValue(3);
        w->last_box().setValue(2);
        QCOMPARE(w->first_box().value(), 2);
        QCOMPARE(w->last_box().value(), 2);
        QCOMPARE(scene().window_first(), 1);
        QCOMPARE(scene().window_last(), 1);
        QCOMPARE(w->label_text(), QString("Component 2 of 4"));
        w->last_box().setValue(4);
        w->first_box().setValue(4);
        QCOMPARE(w->last_box().value(), 4);
        QCOMPARE(scene().window_first(), 3);
    }

    void play_slides_the_window_one_step_per_tick_and_wraps() {
        open_coloured(4);
        CComponentsWindow& w = open_window();
        w.last_box().setValue(2);
        w.rate_box().setValue(50);
        const std::int64_t frames = main_view().frames_drawn;
        w.play_button().click();
        QVERIFY(w.playing());
        // Width two of four components: positions 1:2, 2:3, 3:4, then 1:2 again.
        std::vector<int> seen{scene().window_first()};
        bool same_width = true;
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (scene().window_first() != seen.back())
                    seen.push_back(scene().window_first());
                same_width = same_width && scene().window_width() == 2;
                return seen.size() >= 5;
            },
            5000));
        QCOMPARE(seen, (std::vector<int>{0, 1, 2, 0, 1}));
        QVERIFY(same_width);
        QVERIFY(main_view().frames_drawn >= frames + 4);
        QCOMPARE(w.first_box().value(), scene().window_first() + 1);

        w.play_button().click();
        QVERIFY(!w.playing());
        const int stopped_at = scene().window_first();
        QTest::qWait(150);
        QCOMPARE(scene().window_first(), stopped_at);
        QCOMPARE(scene().interactive_detail.level(), 0); // the last frame is a full one
    }

    // Where a full frame exceeds the budget, Play classifies only what its coarse frames draw;
    // stopping, with the button or by closing the window, leaves the whole window's colours.
    void stopping_play_or_closing_the_window_leaves_the_whole_windows_colours() {
        open_coloured(4);
        dialog->scene_for_setup().interactive_detail.budget_seconds = 1e-9;
        for (const bool close : {false, true}) {
            CComponentsWindow& w = open_window();
            w.last_box().setValue(2);
            w.rate_box().setValue(50);
            w.play_button().click();
            QVERIFY(QTest::qWaitFor([&] { return !scene().colours_complete(); }, 5000));
            if (close)
                w.close();
            else
                w.play_button().click();
            QVERIFY(!w.playing());
            QVERIFY(scene().colours_complete());
            const int stopped_at = scene().window_first();
            QTest::qWait(100);
            QCOMPARE(scene().window_first(), stopped_at);
            const std::vector<float> shown = colours(scene());
            QVERIFY(dialog->scene_for_setup().classify_all());
            QCOMPARE(colours(scene()), shown);
        }
    }

    void a_new_grid_takes_every_component_and_stops_playing() {
        open_coloured(4);
        CComponentsWindow& w = open_window();
        w.first_box().setValue(2);
        w.last_box().setValue(3);
        w.set_playing(true);
        QVERIFY(w.playing());
        open_coloured(2);
        QVERIFY(!w.playing());
        QCOMPARE(w.last_box().maximum(), 2);
        QCOMPARE(w.first_box().value(), 1);
        QCOMPARE(w.last_box().value(), 2);
        QCOMPARE(scene().window_width(), 2);
        // One component has nothing to play through.
        open_coloured(1);
        QVERIFY(!w.play_button().isEnabled());
        QCOMPARE(w.label_text(), QString("Component 1 of 1"));
    }
};

QTEST_MAIN(ComponentsTest)
#include "components_test.moc"
