// The main dialog's start-up, layout, system commands and "Open File", on the real dialog.
#include "about_dialog.h"
#include "dialog_fixture.h"
#include "dialog_templates.h"
#include "dialog_units.h"
#include "qt_prompts.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

// A 3 x 2 x 2 grid with one component; every data line begins with two spaces.
std::string small_grid() {
    std::string text = "2 2 3 1\n";
    for (int i = 0; i < 12; ++i)
        text += "  0 0 0 " + std::to_string(10 + i) + "\n";
    return text;
}

} // namespace

class DialogTest : public DialogFixture {
    Q_OBJECT

    void start() {
        dialog->OnInitDialog();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

private slots:
    void init() { start_dialog(); }
    void cleanup() { end_dialog(); }

    void start_up_shows_the_empty_statistics_before_the_dialog() {
        QVERIFY(!dialog->isVisible());
        dialog->OnInitDialog();
        QCOMPARE(prompts->messages.size(), std::size_t(1));
        QCOMPARE(prompts->messages[0],
                 std::string("avg == 0.000000, stddev == 0.000000, min is 0.000000, max is "
                             "0.000000, numvalidsamps = 0"));
        QVERIFY(!dialog->isVisible());
        dialog->OnInitDialog(); // initialises once
        QCOMPARE(prompts->messages.size(), std::size_t(1));
    }

    void window_is_captioned_and_no_smaller_than_the_template() {
        start();
        QCOMPARE(dialog->windowTitle(), QString("Halvorn1"));
        QCOMPARE(dialog->minimumSize(), dialog->size());
        QVERIFY(!dialog->windowIcon().isNull());
        QVERIFY(!dialog->OnQueryDragIcon().isNull());
    }

    void controls_sit_at_the_template_positions() {
        start();
        const BaseUnits units = dialog_base_units(dialog->font());
        const DialogTemplate& t = main_dialog_template;
        for (int i = 0; i < t.count; ++i) {
            if (t.controls[i].id == -1)
                continue;
            QWidget* widget = dialog->control(t.controls[i].id);
            QVERIFY2(widget, qPrintable(QString::number(t.controls[i].id)));
            QCOMPARE(widget->geometry(), dialog_rect(t.controls[i], units));
            QVERIFY(widget->isVisible());
        }
        QCOMPARE(dialog->size(),
                 QSize(dialog_x_to_pixels(611, units), dialog_y_to_pixels(380, units)));
        // With the classic 6 x 13 base units of an 8-point font the main view is 612 x 375.
        QCOMPARE(dialog_rect(16, 17, 408, 231, BaseUnits{6, 13}).size(), QSize(612, 375));
        QCOMPARE(&main_view(), dialog->control(1000));
        QCOMPARE(&offset_slider(), dialog->control(1001));
        QCOMPARE(&scale_slider(), dialog->control(1002));
        QCOMPARE(&panel(Channel::red), dialog->control(1003));
        QCOMPARE(&panel(Channel::opacity), dialog->control(1006));
    }

    void panels_stand_in_the_group_box_green_blue_red_opacity() {
        start();
        auto* group = dialog->findChild<QGroupBox*>();
        QVERIFY(group);
        QCOMPARE(group->title(), QString("Color Controls"));
        const QWidget* order[] = {&panel(Channel::green), &panel(Channel::blue),
                                  &panel(Channel::red), &panel(Channel::opacity)};
        for (int i = 0; i < 4; ++i) {
            QVERIFY(group->geometry().contains(order[i]->geometry()));
            if (i > 0)
                QVERIFY(order[i - 1]->geometry().bottom() < order[i]->geometry().top());
        }
        // The panels lie on top of the group box, so they take the mouse.
        const QPoint inside = panel(Channel::red).geometry().center();
        QCOMPARE(dialog->childAt(inside), &panel(Channel::red));
    }

    void tab_order_follows_the_template() {
        start();
        const int stops[] = {1, 2, 1001, 1002, 1007, 1008, 1009, 1011, 1012};
        QWidget* widget = dialog->control(stops[0]);
        for (int i = 1; i < 9; ++i) {
            do
                widget = widget->nextInFocusChain();
            while (!(widget->focusPolicy() & Qt::TabFocus) || widget == dialog.get());
            QCOMPARE(widget, dialog->control(stops[i]));
        }
        QVERIFY(static_cast<QPushButton*>(dialog->control(1))->isDefault());
        QCOMPARE(realtime_check().text(), QString("Realtime Function Update"));
    }

    // A focused push button takes Enter, as in the dialogs this program comes from; with the
    // focus back in an edit field, OK is the default button again.
    void enter_presses_the_focused_push_button() {
        start();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        const auto enter_on = [&](int id) {
            QWidget* button = dialog->control(id);
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Return);
        };
        enter_on(1007); // "Set Transfer Func" classifies the two empty volumes
        QVERIFY(scene().colour_volume.valid || scene().colour_volume.nx == 0);
        QVERIFY(dialog->isVisible());
        enter_on(1012); // "Open File" asks for a grid (cancelled here)
        QCOMPARE(prompts->questions, std::vector<FileQuestion>{FileQuestion::open_grid});
        QVERIFY(dialog->isVisible());
        QVERIFY(!static_cast<QPushButton*>(dialog->control(1))->isDefault());

        low_end_edit().setFocus();
        QVERIFY(static_cast<QPushButton*>(dialog->control(1))->isDefault());
        enter_on(2);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));

        dialog->show();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        enter_on(1);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
    }

    void system_commands_0x10_to_0x1f_open_the_about_box() {
        start();
        for (unsigned id = 0x0010; id <= 0x001F; ++id)
            dialog->OnSysCommand(id);
        QCOMPARE(prompts->modal_titles.size(), std::size_t(16));
        QCOMPARE(prompts->modal_titles[0], std::string("About Halvorn1"));
        for (unsigned id : {0x0000u, 0x0020u, 0x000Fu, 0xF010u, 0xF100u})
            dialog->OnSysCommand(id);
        QCOMPARE(prompts->modal_titles.size(), std::size_t(16));
        QVERIFY(dialog->isVisible());
    }

    void close_system_command_ends_the_dialog_without_the_about_box() {
        start();
        dialog->OnSysCommand(0xF060);
        QVERIFY(prompts->modal_titles.empty());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }

    void context_menu_holds_the_about_item_routed_as_command_0x10() {
        start();
        QAction* about = menu_item("&About Halvorn1...");
        QVERIFY(about);
        about->trigger();
        QCOMPARE(prompts->modal_titles, std::vector<std::string>{"About Halvorn1"});
    }

    // A right click on the dialog's free area opens the menu; over a view it does not (right
    // drags there zoom the camera or delete control points).
    void context_menu_opens_on_the_free_area_only() {
        start();
        const auto right_click = [&](QPoint at) {
            QWidget* shown = nullptr;
            QTimer::singleShot(200, [&] {
                shown = QApplication::activePopupWidget();
                if (shown)
                    shown->close();
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, dialog->mapToGlobal(at));
            QCoreApplication::sendEvent(dialog.get(), &event);
            QTest::qWait(300);
            return shown;
        };
        QCOMPARE(right_click(QPoint(4, 4)), static_cast<QWidget*>((&menu())));
        const QPoint in_group =
            dialog->findChild<QGroupBox*>()->geometry().topLeft() + QPoint(3, 30);
        QCOMPARE(right_click(in_group), static_cast<QWidget*>((&menu())));
        QCOMPARE(right_click(main_view().geometry().center()), nullptr);
        QCOMPARE(main_view().contextMenuPolicy(), Qt::PreventContextMenu);
    }

    void about_box_shows_icon_version_and_a_second_line() {
        CAboutDialog about;
        QCOMPARE(about.windowTitle(), QString("About Halvorn1"));
        QStringList texts;
        bool icon = false;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            texts << label->text();
            icon = icon || !label->pixmap().isNull();
        }
        QVERIFY(icon);
        QVERIFY(texts.contains("Halvorn1 Version 1.0"));
        QCOMPARE(texts.size(), 3);
        auto* ok = about.findChild<QPushButton*>();
        QVERIFY(ok && ok->isDefault());
        QCOMPARE(about.minimumSize(), about.maximumSize());
    }

    void open_file_loads_the_grid_and_sizes_the_colour_volume() {
        start();
        TempDir dir;
        const std::string grid = dir.write("grid.txt", small_grid());
        prompts->file_answers.push_back(grid);
        static_cast<QPushButton*>(dialog->control(1012))->click();
        QCOMPARE(prompts->questions, std::vector<FileQuestion>{FileQuestion::open_grid});
        QCOMPARE(prompts->messages.size(), std::size_t(1)); // only the start-up box
        QCOMPARE(scene().data_volume.nx, 3);
        QCOMPARE(scene().data_volume.nz, 2);
        QCOMPARE(scene().data_volume.stat_count, std::int64_t(12));
        QCOMPARE(scene().data_volume.stat_max, 21.0);
        QCOMPARE(scene().colour_volume.nx, 3);
        QCOMPARE(scene().colour_volume.ncomp, 4);
        QVERIFY(scene().colour_volume.rgba == scene().colour_volume.is_rgba());
        QVERIFY(file_exists(grid + ".dat"));
    }

    void cancelled_open_dialog_reports_the_empty_path() {
        start();
        dialog->on_open_file();
        QCOMPARE(prompts->messages.back(),
                 std::string("ERROR: \"\" is not a valid file or is not readable"));
        QCOMPARE(scene().data_volume.nx, 0);
    }

    void cancelled_import_leaves_both_volumes_as_they_were() {
        start();
        TempDir dir;
        const std::string first = dir.write("first.txt", small_grid());
        dialog->open_grid_path(first);
        QCOMPARE(scene().data_volume.nx, 3);
        std::string bigger = "4 4 4 1\n";
        for (int i = 0; i < 64; ++i)
            bigger += "  0 0 0 50\n";
        prompts->cancel_after = 0;
        dialog->open_grid_path(dir.write("second.txt", bigger));
        QCOMPARE(scene().data_volume.nx, 3);
        QCOMPARE(scene().data_volume.stat_max, 21.0);
        QCOMPARE(scene().colour_volume.nx, 3);
        QCOMPARE(prompts->imports.size(), std::size_t(2));
    }

    // The real prompts: no progress dialog for a short import; after the delay one that names
    // the file, and its Cancel stops the import.
    void long_import_shows_a_progress_dialog_with_cancel() {
        start();
        QtPrompts real(dialog.get());
        real.begin_import("/data/grids/ocean.txt");
        QVERIFY(real.progress(ImportStage::converting, 10, 100));
        QVERIFY(!dialog->findChild<QProgressDialog*>());
        QTest::qWait(QtPrompts::progress_delay_ms + 50);
        QVERIFY(real.progress(ImportStage::converting, 20, 100));
        auto* progress = dialog->findChild<QProgressDialog*>();
        QVERIFY(progress);
        QVERIFY(progress->labelText().contains("ocean.txt"));
        QCOMPARE(progress->value(), 160); // the text fills the first 80 % of the bar
        // Each later stage names itself and moves the bar on.
        QTest::qWait(QtPrompts::update_interval_ms + 5);
        QVERIFY(real.progress(ImportStage::loading, 50, 100));
        QVERIFY(progress->labelText().contains("statistics"));
        QCOMPARE(progress->value(), 935);
        QVERIFY(real.progress(ImportStage::reading_back, 0, 100));
        QVERIFY(progress->labelText().contains("back"));
        progress->cancel();
        QVERIFY(!real.progress(ImportStage::converting, 30, 100));
        real.end_import();
        QVERIFY(!dialog->findChild<QProgressDialog*>());
        QVERIFY(
            real.progress(ImportStage::converting, 40, 100)); // outside an import nothing is asked
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
