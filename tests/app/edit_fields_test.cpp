// The two edit fields and their sliders: what is accepted, what is kept, and that numbers
// read and print the same under a comma-decimal locale.
#include "dialog_fixture.h"
#include "edit_number.h"
#include "scripted_dialog_prompts.h"
#include "volume_dialog.h"

#include <QtTest>

#include <climits>
#include <clocale>
#include <cmath>
#include <memory>

class EditFieldsTest : public DialogFixture {
    Q_OBJECT

    void type_into(QLineEdit& edit, const QString& text) {
        edit.selectAll();
        QTest::keyClicks(&edit, text);
    }

private slots:
    void init() {
        start_dialog();
        dialog->OnInitDialog();
        QCOMPARE(offset_slider().get_pos(), 0);
        QCOMPARE(scale_slider().get_pos(), 100);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void cleanup() { end_dialog(); }

    void start_up_puts_0_and_100_into_the_edits() {
        QCOMPARE(low_end_edit().text(), QString("0"));
        QCOMPARE(range_edit().text(), QString("100"));
        QCOMPARE(scene().low_end, 0.0);
        QCOMPARE(scene().range, 100.0);
        // The first paint of the dialog moves the sliders to the renderer's fields
        // (opacity offset 0, scale 1).
        QCOMPARE(offset_slider().get_pos(), 50);
        QCOMPARE(scale_slider().get_pos(), 10);
    }

    // Only a paint of the dialog itself moves the sliders back: not the edit's caret, not a
    // hovered button, not a view's frame.
    void slider_keeps_the_edit_position_while_only_controls_repaint() {
        low_end_edit().setFocus();
        type_into(low_end_edit(), "12.9");
        QTest::mouseMove(dialog->control(1007));
        QTest::mouseMove(&main_view());
        main_view().repaint();
        QTest::qWait(700); // a caret blink or two
        QCOMPARE(offset_slider().get_pos(), 12);
        dialog->update();
        QTRY_COMPARE(offset_slider().get_pos(), 50);
    }

    void typed_value_sets_member_and_truncated_slider_position() {
        type_into(low_end_edit(), "12.9");
        QCOMPARE(scene().low_end, 12.9);
        QCOMPARE(offset_slider().get_pos(), 12);
        type_into(range_edit(), "57.99");
        QCOMPARE(scene().range, 57.99);
        QCOMPARE(scale_slider().get_pos(), 57);
    }

    void negative_value_is_kept_while_the_slider_clamps_to_zero() {
        type_into(low_end_edit(), "-3.5");
        QCOMPARE(scene().low_end, -3.5);
        QCOMPARE(offset_slider().get_pos(), 0);
        low_end_edit().setText("250");
        QCOMPARE(scene().low_end, 250.0);
        QCOMPARE(offset_slider().get_pos(), 100);
    }

    void minus_9999_is_refused_and_just_above_it_accepted() {
        low_end_edit().setText("40");
        low_end_edit().setText("-9999");
        QCOMPARE(scene().low_end, 40.0);
        QCOMPARE(offset_slider().get_pos(), 40);
        low_end_edit().setText("-9998.5");
        QCOMPARE(scene().low_end, -9998.5);
        QCOMPARE(offset_slider().get_pos(), 0);
    }

    void text_without_a_leading_number_changes_nothing() {
        range_edit().setText("64");
        for (const char* text : {"abc", "", "   ", "-", ".", "x12", "nan", "-inf"}) {
            range_edit().setText(text);
            QCOMPARE(scene().range, 64.0);
            QCOMPARE(scale_slider().get_pos(), 64);
        }
        low_end_edit().clear();
        QCOMPARE(scene().low_end, 0.0);
    }

    void number_followed_by_letters_is_read_as_the_number() {
        type_into(low_end_edit(), "7xyz");
        QCOMPARE(scene().low_end, 7.0);
        QCOMPARE(offset_slider().get_pos(), 7);
        low_end_edit().setText("  8.25e1 K");
        QCOMPARE(scene().low_end, 82.5);
    }

    // A value beyond the int range used to be truncated to int, which is undefined.
    void huge_values_saturate_before_the_slider_clamps() {
        low_end_edit().setText("1e300");
        QCOMPARE(scene().low_end, 1e300);
        QCOMPARE(offset_slider().get_pos(), 100);
        range_edit().setText("inf");
        QVERIFY(std::isinf(scene().range));
        QCOMPARE(scale_slider().get_pos(), 100);
        QCOMPARE(saturating_trunc(1e300), INT_MAX);
        QCOMPARE(saturating_trunc(-1e300), INT_MIN);
        QCOMPARE(saturating_trunc(2147483647.9), INT_MAX);
        QCOMPARE(saturating_trunc(2147483648.0), INT_MAX);
        QCOMPARE(saturating_trunc(-2147483648.5), INT_MIN);
        QCOMPARE(saturating_trunc(-2147483647.5), -2147483647);
        QCOMPARE(saturating_trunc(std::nan("")), 0);
        QCOMPARE(saturating_trunc(-0.99), 0);
    }

    void only_the_first_1023_characters_are_read() {
        double value = 0.0;
        std::string text(1022, ' ');
        text += "5";
        QCOMPARE(scan_edit_double(text, value), 1);
        QCOMPARE(value, 5.0);
        value = 0.0;
        QCOMPARE(scan_edit_double(std::string(1023, ' ') + "5", value), EOF);
        QCOMPARE(value, 0.0);
    }

    // Enter in an edit takes its value and keeps the dialog (and the curves) open; elsewhere
    // it still presses OK, the default button.
    void enter_in_an_edit_takes_the_value_and_keeps_the_dialog() {
        low_end_edit().setFocus();
        low_end_edit().selectAll();
        QTest::keyClicks(&low_end_edit(), "5");
        QTest::keyClick(&low_end_edit(), Qt::Key_Return);
        QTest::keyClick(&range_edit(), Qt::Key_Enter);
        QVERIFY(dialog->isVisible());
        QCOMPARE(scene().low_end, 5.0);
        realtime_check().setFocus();
        QTest::keyClick(&realtime_check(), Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
    }

    void escape_ends_the_dialog_with_cancel() {
        range_edit().setFocus();
        QTest::keyClick(&range_edit(), Qt::Key_Escape);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(!dialog->isVisible());
    }

    // Qt sets the locale from the environment; a comma locale must not change what the
    // edits read or what the program writes into them.
    void comma_locale_reads_and_writes_points() {
        const char* previous = std::setlocale(LC_ALL, nullptr);
        const std::string saved = previous ? previous : "C";
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            QSKIP("the de_DE.UTF-8 locale is not installed");
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
        QCOMPARE(QString(buffer), QString("1,5")); // the locale is really in effect
        low_end_edit().setText("12.75");
        const double read = scene().low_end;
        QCOMPARE(format_edit_double(30.0), std::string("30.000000"));
        std::setlocale(LC_ALL, saved.c_str());
        QCOMPARE(read, 12.75);
    }
};

QTEST_MAIN(EditFieldsTest)
#include "edit_fields_test.moc"
