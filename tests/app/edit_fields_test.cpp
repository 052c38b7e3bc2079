// The two edit fields and their sliders: what is accepted, what is kept, and that numbers
// read and print the same under a comma-decimal locale.
#include "edit_number.h"
#include "scripted_dialog_prompts.h"
#include "volume_dialog.h"

#include <QtTest>

#include <climits>
#include <clocale>
#include <cmath>
#include <memory>

class EditFieldsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedDialogPrompts> prompts;
    std::unique_ptr<CVolumeDialog> dialog;

    void type_into(QLineEdit& edit, const QString& text) {
        edit.selectAll();
        QTest::keyClicks(&edit, text);
    }

private slots:
    void init() {
        prompts = std::make_unique<ScriptedDialogPrompts>();
        dialog = std::make_unique<CVolumeDialog>(nullptr, prompts.get());
        dialog->OnInitDialog();
        QCOMPARE(dialog->offset_slider.get_pos(), 0);
        QCOMPARE(dialog->scale_slider.get_pos(), 100);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void cleanup() {
        dialog.reset();
        prompts.reset();
    }

    void start_up_puts_0_and_100_into_the_edits() {
        QCOMPARE(dialog->low_end_edit.text(), QString("0"));
        QCOMPARE(dialog->range_edit.text(), QString("100"));
        QCOMPARE(dialog->low_end, 0.0);
        QCOMPARE(dialog->range, 100.0);
        // The first paint of the dialog moves the sliders to the renderer's fields
        // (opacity offset 0, scale 1).
        QCOMPARE(dialog->offset_slider.get_pos(), 50);
        QCOMPARE(dialog->scale_slider.get_pos(), 10);
    }

    // Only a paint of the dialog itself moves the sliders back: not the edit's caret, not a
    // hovered button, not a view's frame.
    void slider_keeps_the_edit_position_while_only_controls_repaint() {
        dialog->low_end_edit.setFocus();
        type_into(dialog->low_end_edit, "12.9");
        QTest::mouseMove(dialog->control(1007));
        QTest::mouseMove(&dialog->main_view);
        dialog->main_view.repaint();
        QTest::qWait(700); // a caret blink or two
        QCOMPARE(dialog->offset_slider.get_pos(), 12);
        dialog->update();
        QTRY_COMPARE(dialog->offset_slider.get_pos(), 50);
    }

    void typed_value_sets_member_and_truncated_slider_position() {
        type_into(dialog->low_end_edit, "12.9");
        QCOMPARE(dialog->low_end, 12.9);
        QCOMPARE(dialog->offset_slider.get_pos(), 12);
        type_into(dialog->range_edit, "57.99");
        QCOMPARE(dialog->range, 57.99);
        QCOMPARE(dialog->scale_slider.get_pos(), 57);
    }

    void negative_value_is_kept_while_the_slider_clamps_to_zero() {
        type_into(dialog->low_end_edit, "-3.5");
        QCOMPARE(dialog->low_end, -3.5);
        QCOMPARE(dialog->offset_slider.get_pos(), 0);
        dialog->low_end_edit.setText("250");
        QCOMPARE(dialog->low_end, 250.0);
        QCOMPARE(dialog->offset_slider.get_pos(), 100);
    }

    void minus_9999_is_refused_and_just_above_it_accepted() {
        dialog->low_end_edit.setText("40");
        dialog->low_end_edit.setText("-9999");
        QCOMPARE(dialog->low_end, 40.0);
        QCOMPARE(dialog->offset_slider.get_pos(), 40);
        dialog->low_end_edit.setText("-9998.5");
        QCOMPARE(dialog->low_end, -9998.5);
        QCOMPARE(dialog->offset_slider.get_pos(), 0);
    }

    void text_without_a_leading_number_changes_nothing() {
        dialog->range_edit.setText("64");
        for (const char* text : {"abc", "", "   ", "-", ".", "x12", "nan", "-inf"}) {
            dialog->range_edit.setText(text);
            QCOMPARE(dialog->range, 64.0);
            QCOMPARE(dialog->scale_slider.get_pos(), 64);
        }
        dialog->low_end_edit.clear();
        QCOMPARE(dialog->low_end, 0.0);
    }

    void number_followed_by_letters_is_read_as_the_number() {
        type_into(dialog->low_end_edit, "7xyz");
        QCOMPARE(dialog->low_end, 7.0);
        QCOMPARE(dialog->offset_slider.get_pos(), 7);
        dialog->low_end_edit.setText("  8.25e1 K");
        QCOMPARE(dialog->low_end, 82.5);
    }

    // A value beyond the int range used to be truncated to int, which is undefined.
    void huge_values_saturate_before_the_slider_clamps() {
        dialog->low_end_edit.setText("1e300");
        QCOMPARE(dialog->low_end, 1e300);
        QCOMPARE(dialog->offset_slider.get_pos(), 100);
        dialog->range_edit.setText("inf");
        QVERIFY(std::isinf(dialog->range));
        QCOMPARE(dialog->scale_slider.get_pos(), 100);
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

    void enter_in_an_edit_ends_the_dialog_with_ok() {
        dialog->low_end_edit.setFocus();
        QTest::keyClick(&dialog->low_end_edit, Qt::Key_Return);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(!dialog->isVisible());
    }

    void escape_ends_the_dialog_with_cancel() {
        dialog->range_edit.setFocus();
        QTest::keyClick(&dialog->range_edit, Qt::Key_Escape);
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
        dialog->low_end_edit.setText("12.75");
        const double read = dialog->low_end;
        QCOMPARE(format_edit_double(30.0), std::string("30.000000"));
        std::setlocale(LC_ALL, saved.c_str());
        QCOMPARE(read, 12.75);
    }
};

QTEST_MAIN(EditFieldsTest)
#include "edit_fields_test.moc"
