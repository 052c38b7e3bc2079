// "Save Curves...", "Load Curves...", the help page and the command line.
#include "curve_presets.h"
#include "curves_file.h"
#include "dialog_fixture.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_app.h"
#include "volume_dialog.h"

#include <QMenu>
#include <QtTest>

#include <memory>

namespace {

AppArgs parse(std::vector<std::string> words) {
    words.insert(words.begin(), "halvorn");
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    return parse_app_args(static_cast<int>(argv.size()), argv.data());
}

const char* const two_point_curves = R"({ "low": 12.5, "range": 40,
  "red": [[0.3, 0.8], [1.0, 0.0]],
  "opacity": [[0.2, 0.1], [0.6, 0.4], [1.0, 0.0]] })";

} // namespace

class CurvesCommandsTest : public DialogFixture {
    Q_OBJECT

    TempDir dir;

private slots:
    void init() { start_dialog(); }
    void cleanup() { end_dialog(); }

    void load_curves_replaces_curves_and_edit_values() {
        dialog->OnInitDialog();
        dialog->show();
        prompts->file_answers.push_back(dir.write("c.json", two_point_curves));
        QAction* load = menu_item("&Load Curves...");
        QVERIFY(load);
        load->trigger();
        QCOMPARE(prompts->questions.back(), FileQuestion::open_curves);
        QCOMPARE(scene().red_curve.count, 2);
        QCOMPARE(scene().red_curve.x[0], 0.3);
        QCOMPARE(scene().red_curve.y[0], 0.8);
        QCOMPARE(scene().opacity_curve.count, 3);
        QCOMPARE(scene().green_curve.count, 1); // a missing channel is the new-curve default
        QVERIFY(scene_for_setup().red_curve.segments_built);
        QCOMPARE(low_end_edit().text(), QString("12.5"));
        QCOMPARE(scene().low_end, 12.5);
        QCOMPARE(offset_slider().get_pos(), 12);
        QCOMPARE(scene().range, 40.0);
        QCOMPARE(scale_slider().get_pos(), 40);
        QCOMPARE(prompts->messages.size(), std::size_t(1));
        // One undo step takes the whole load back.
        dialog->on_undo();
        QCOMPARE(scene().red_curve.count, 1);
        QCOMPARE(low_end_edit().text(), QString("0"));
        QCOMPARE(scene().range, 100.0);
    }

    void refused_curves_file_shows_its_message_and_changes_nothing() {
        dialog->OnInitDialog();
        scene_for_setup().red_curve.insert(0.5, 0.5);
        const std::string bad =
            dir.write("bad.json", R"({ "red": [[0.6, 0.1], [0.4, 0.2], [1.0, 0.0]], "low": 7 })");
        QVERIFY(!dialog->load_curves_file(bad));
        QCOMPARE(prompts->messages.size(), std::size_t(2));
        QVERIFY(QString::fromStdString(prompts->messages[1]).contains("bad.json"));
        QCOMPARE(scene().red_curve.count, 2);
        QCOMPARE(scene().red_curve.x[0], 0.5);
        QCOMPARE(scene().low_end, 0.0);
        QCOMPARE(low_end_edit().text(), QString("0"));
    }

    void saved_curves_load_back_the_same() {
        dialog->OnInitDialog();
        scene_for_setup().blue_curve.insert(0.25, 0.75);
        scene_for_setup().blue_curve.insert(0.5, 0.1);
        low_end_edit().setText("3.25");
        const std::string path = dir.file("saved.json");
        prompts->file_answers.push_back(path);
        menu_item("&Save Curves...")->trigger();
        QCOMPARE(prompts->questions.back(), FileQuestion::save_curves);
        CurvesFile file;
        std::string error;
        QVERIFY2(read_curves_file(path, file, error), error.c_str());
        QCOMPARE(file.curves[2].count, 3);
        QCOMPARE(file.curves[2].x[1], 0.5);
        QCOMPARE(file.low, 3.25);
        QCOMPARE(file.range, 100.0);

        CVolumeDialog other(nullptr, prompts.get());
        other.OnInitDialog();
        QVERIFY(other.load_curves_file(path));
        QCOMPARE(other.scene().blue_curve.count, 3);
        QCOMPARE(other.scene().blue_curve.y[0], 0.75);
        QCOMPARE(other.scene().low_end, 3.25);
    }

    void loading_with_realtime_classifies_at_once() {
        dialog->OnInitDialog();
        TempDir grid_dir;
        std::string grid = "1 1 2 2\n  0 0 0 10 30\n  0 0 0 20 40\n";
        dialog->open_grid_path(grid_dir.write("g.txt", grid));
        dialog->on_set_transfer_func();
        QCOMPARE(scene().colour_volume.samples[0], 0.0f); // default curves are all zero
        realtime_check().setChecked(true);
        QVERIFY(dialog->load_curves_file(HALVORN_SAMPLE_CURVES));
        QVERIFY(scene().colour_volume.samples[0] > 0.0f);
    }

    // A colour preset sets the three colour curves, an opacity preset the opacity curve; the
    // edit values stay, and each menu item is one undo step.
    void presets_are_one_undo_step_each() {
        dialog->OnInitDialog();
        low_end_edit().setText("-2");
        range_edit().setText("30");
        const int steps = dialog->history().stack().count();
        const CurvePreset& viridis = *find_curve_preset("viridis");
        QAction* colour = menu_item("Viridis");
        QVERIFY(colour);
        colour->trigger();
        QCOMPARE(dialog->history().stack().count(), steps + 1);
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(scene().curves[c].count, viridis.curves[c].count);
            QCOMPARE(scene().curves[c].x[1], viridis.curves[c].x[1]);
            QCOMPARE(scene().curves[c].y[1], viridis.curves[c].y[1]);
            QVERIFY(scene().curves[c].segments_built);
        }
        QCOMPARE(scene().opacity_curve.count, 1);
        QCOMPARE(scene().low_end, -2.0);
        QCOMPARE(scene().range, 30.0);

        menu_item("Tent")->trigger();
        QCOMPARE(dialog->history().stack().count(), steps + 2);
        QCOMPARE(scene().opacity_curve.count, find_curve_preset("tent")->curves[0].count);
        QCOMPARE(scene().red_curve.count, viridis.curves[0].count);

        dialog->on_undo(); // the tent only
        QCOMPARE(scene().opacity_curve.count, 1);
        QCOMPARE(scene().red_curve.count, viridis.curves[0].count);
        dialog->on_undo(); // then viridis
        for (int c = 0; c < 3; ++c)
            QCOMPARE(scene().curves[c].count, 1);
        QCOMPARE(low_end_edit().text(), QString("-2"));
    }

    // Load Curves takes a ParaView preset: fitted over its own span into the colour curves and
    // the opacity curve of its "Points"; the edit values stay, and one undo step takes it back.
    void load_curves_reads_a_paraview_preset() {
        dialog->OnInitDialog();
        range_edit().setText("30");
        const std::string path = dir.write("map.json", R"([{"Name": "Two", "ColorSpace": "RGB",
            "RGBPoints": [-5, 0, 0, 1, 5, 1, 0, 0], "Points": [-5, 0, 0.5, 0, 5, 1, 0.5, 0]}])");
        prompts->file_answers.push_back(path);
        menu_item("&Load Curves...")->trigger();
        QVERIFY(scene().red_curve.count > 1);
        QVERIFY(scene().opacity_curve.count > 1);
        QCOMPARE(scene().range, 30.0);
        QCOMPARE(scene().low_end, 0.0);
        dialog->on_undo();
        QCOMPARE(scene().red_curve.count, 1);
        QCOMPARE(scene().opacity_curve.count, 1);
        // A document that is neither a curves file nor a ParaView map: its message, no change.
        const std::size_t messages = prompts->messages.size();
        QVERIFY(!dialog->load_curves_file(dir.write("odd.json", R"({"Name": "x"})")));
        QCOMPARE(prompts->messages.size(), messages + 1);
        QVERIFY(QString::fromStdString(prompts->messages.back()).contains("RGBPoints"));
        QCOMPARE(scene().red_curve.count, 1);
    }

    void f1_shows_the_mouse_gestures() {
        dialog->OnInitDialog();
        dialog->show();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        QCOMPARE(prompts->help_pages.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(prompts->help_pages[0]).contains("Left drag"));
        QVERIFY(QString::fromStdString(prompts->help_pages[0]).contains("Right drag"));
        QVERIFY(QString::fromStdString(prompts->help_pages[0])
                    .contains("a press or a release without movement does nothing"));
    }

    void command_line_words() {
        AppArgs a = parse({"--curves", "c.json", "grid.txt"});
        QCOMPARE(a.scene.curves_path, std::string("c.json"));
        QCOMPARE(a.grid_path, std::string("grid.txt"));
        QVERIFY(a.error.empty());
        a = parse({"g.txt", "--curves=x.json"});
        QCOMPARE(a.scene.curves_path, std::string("x.json"));
        QCOMPARE(a.grid_path, std::string("g.txt"));
        QVERIFY(parse({}).grid_path.empty());
        a = parse({"-platform", "xcb", "g.txt", "-reverse"}); // Qt's own options pass by
        QVERIFY(a.error.empty());
        QCOMPARE(a.grid_path, std::string("g.txt"));
        QVERIFY(parse({"--help"}).help);
        QVERIFY(parse({"-h"}).help);
        QVERIFY(!parse({"--curves"}).error.empty());
        QVERIFY(!parse({"--curves", ""}).error.empty());
        QVERIFY(!parse({"a.txt", "b.txt"}).error.empty());
        QCOMPARE(parse({"--bogus"}).error, std::string("unknown option --bogus"));

        a = parse({"--low", "-3.5", "--range=40", "--distance", "300", "--tilt", "-0.5", "--turn",
                   "0.25", "--apply", "g.txt"});
        QVERIFY2(a.error.empty(), a.error.c_str());
        QCOMPARE(*a.scene.low, -3.5);
        QCOMPARE(*a.scene.range, 40.0);
        QCOMPARE(*a.scene.distance, 300.0);
        QCOMPARE(a.scene.tilt, -0.5);
        QCOMPARE(a.scene.turn, 0.25);
        QVERIFY(a.apply);
        QVERIFY(!parse({}).scene.low && !parse({}).scene.distance);
        // Numbers are whole words, finite, without white space, in any locale.
        for (const char* bad : {" 5", "5 ", "abc", "nan", "inf", "1,5", ""})
            QVERIFY2(!parse({"--range", bad}).error.empty(), bad);
        a = parse({"--axis-scale", "1,0.5,20", "g.txt"});
        QCOMPARE(a.scene.axis_scale->z, 20.0);
        QCOMPARE(parse({"--axis-scale", "1,1,-4"}).scene.axis_scale->z, -4.0); // a flip
        QVERIFY(parse({"--no-confirm"}).no_confirm && !parse({}).no_confirm);
        QVERIFY(!parse({}).scene.axis_scale);
        // --preset: a colour preset alone comes with the ramp unless a curves file is loaded.
        a = parse({"--preset", "viridis"});
        QVERIFY2(a.error.empty(), a.error.c_str());
        QCOMPARE(QString(a.scene.preset->colour->name), QString("viridis"));
        QCOMPARE(QString(a.scene.preset->opacity->name), QString("ramp"));
        a = parse({"--curves", "c.json", "--preset", "viridis"});
        QVERIFY(!a.scene.preset->opacity);
        QVERIFY(parse({"--preset", "Viridis"}).error.find("no preset is named") !=
                std::string::npos);
        for (const char* bad : {"1,1", "1,1,1,1", "1,0,1", "1,-0,1", "1,inf,1", "1, 2,3"})
            QVERIFY2(!parse({"--axis-scale", bad}).error.empty(), bad);
        QVERIFY(*parse({"--draw", "shaders"}).scene.drawing == SplatDrawing::shaders);
        QVERIFY(!parse({}).scene.drawing);
        QVERIFY(!parse({"--draw", "gpu"}).error.empty());
    }

    // Each start-up command runs to its end before the next starts, also when it runs an event
    // loop (as the message box of a refused curves file does): the grid is imported only after
    // that box has been dismissed.
    void start_up_commands_never_run_inside_each_other() {
        AppArgs args;
        args.scene.curves_path = dir.write("bad.json", "{ not json");
        args.grid_path = dir.file("queued.txt");
        std::filesystem::copy_file(HALVORN_SAMPLE_GRID, args.grid_path);
        args.scene.low = 10.0;
        args.scene.range = 50.0;
        args.scene.distance = 300.0;
        args.scene.tilt = 0.5;
        args.apply = true;
        queue_start_commands(*dialog, args);
        int nx_while_box_open = -1;
        prompts->on_message = [&] {
            if (!dialog->isVisible())
                return; // the start-up statistics, before the dialog is shown
            QTest::qWait(100);
            nx_while_box_open = scene().data_volume.nx;
        };
        dialog->after_start([&] { dialog->accept(); });
        dialog->DoModal();
        QCOMPARE(prompts->messages.size(), std::size_t(2)); // statistics, refused curves file
        QCOMPARE(nx_while_box_open, 0);
        QCOMPARE(scene().data_volume.nx, 64);
        QCOMPARE(scene().low_end, 10.0);
        QCOMPARE(scene().range, 50.0);
        QCOMPARE(low_end_edit().text(), QString("10"));
        QCOMPARE(scene().view_controller.camera.distance(), 300.0);
        QCOMPARE(scene().view_controller.camera.axis(0).x, std::cos(0.5));
        QVERIFY(scene().colour_volume.valid); // --apply classified the imported grid
    }

    // As `halvorn --curves sample_curves.json sample.txt`: the statistics box first, then the
    // curves, then the import of the grid, once the dialog is shown.
    void command_line_loads_curves_then_imports_after_start_up() {
        AppArgs args;
        args.scene.curves_path = HALVORN_SAMPLE_CURVES;
        // A copy, so that no other test writes the same intermediate file at the same time.
        args.grid_path = dir.file("sample.txt");
        std::filesystem::copy_file(HALVORN_SAMPLE_GRID, args.grid_path);
        queue_start_commands(*dialog, args);
        bool seen_visible = false;
        dialog->after_start([&] {
            seen_visible = dialog->isVisible();
            dialog->accept();
        });
        dialog->DoModal();
        QVERIFY(seen_visible);
        QCOMPARE(prompts->messages.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(prompts->messages[0]).startsWith("avg == 0.000000"));
        QCOMPARE(prompts->imports, std::vector<std::string>{args.grid_path});
        QCOMPARE(scene().data_volume.nx, 64);
        QCOMPARE(scene().data_volume.ncomp, 2);
        QCOMPARE(scene().colour_volume.nz, 48);
        QCOMPARE(scene().opacity_curve.count, 6);
        QCOMPARE(scene().range, 100.0);
    }
};

QTEST_MAIN(CurvesCommandsTest)
#include "curves_commands_test.moc"
