// The whole road through the dialog: start with the sample and its curves, edit a curve with
// the mouse, "Set Transfer Func", drag in the main view. The main view then shows exactly what
// `halvorn-batch render` draws headlessly for the same curves, edit values and camera, and
// "Save Image..." writes those pixels.
#include "dialog_fixture.h"
#include "scripted_dialog_prompts.h"
#include "temp_dir.h"
#include "volume_dialog.h"

#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

std::string exact(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void dialog_draws_what_the_batch_tool_draws() {
        TempDir dir;
        const std::string grid = dir.file("sample.txt");
        std::filesystem::copy_file(HALVORN_SAMPLE_GRID, grid);

        ScriptedDialogPrompts prompts;
        CVolumeDialog dialog(nullptr, &prompts);
        QVERIFY(show_ready(dialog));
        QVERIFY(dialog.load_curves_file(HALVORN_SAMPLE_CURVES));
        dialog.open_grid_path(grid);
        QCOMPARE(dialog.scene().data_volume.nx, 64);

        // Raise the red curve in the middle: press, move with the button held, let go.
        CGLView& panel = panel_of(dialog, Channel::red);
        const QPoint at(panel.width() * 45 / 100, panel.height() / 4);
        move_over(panel, at, Qt::LeftButton);
        move_over(panel, at + QPoint(4, -2), Qt::LeftButton);
        move_over(panel, at + QPoint(4, -2), Qt::NoButton);
        static_cast<QPushButton*>(dialog.control(1007))->click();

        // A right drag upwards brings the camera nearer; then one left drag: a tilt from the
        // vertical and a turn from the horizontal motion, in window fractions.
        CGLView& view = main_view_of(dialog);
        move_over(view, QPoint(300, 300), Qt::RightButton);
        move_over(view, QPoint(300, 30), Qt::RightButton);
        move_over(view, QPoint(300, 30), Qt::NoButton);
        const double distance = dialog.scene().view_controller.camera.distance();
        QVERIFY(distance > 150.0 && distance < 300.0);
        const QPoint from(300, 200), to(341, 173);
        move_over(view, from, Qt::LeftButton);
        move_over(view, to, Qt::LeftButton);
        move_over(view, to, Qt::NoButton);
        const double w = view.width(), h = view.height();
        const double tilt = (1.0 / h) * to.y() - (1.0 / h) * from.y();
        const double turn = (1.0 / w) * to.x() - (1.0 / w) * from.x();
        // "Save Image..." writes exactly what the view shows.
        const std::string saved = dir.file("shown.png");
        QVERIFY(dialog.save_image_file(saved));
        const QImage shown =
            QImage(QString::fromStdString(saved)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, view.grabFramebuffer().convertToFormat(QImage::Format_RGB32));
        // HALVORN_SCREENSHOT=path saves the whole dialog as it now looks (for the README).
        // Taken from the screen: QWidget::grab would blend the views' cleared alpha of 0.
        if (const char* screenshot = std::getenv("HALVORN_SCREENSHOT")) {
            QTest::qWait(300); // let the views reach the screen
            const QPixmap window = dialog.screen()->grabWindow(dialog.winId());
            QVERIFY(window.save(QString::fromLocal8Bit(screenshot)));
        }

        const std::string curves = dir.file("edited.json");
        QVERIFY(dialog.save_curves_file(curves));
        const std::string png = dir.file("batch.png");
        QProcess batch;
        const QStringList args = {
            "render",     QString::fromStdString(grid),
            "--curves",   QString::fromStdString(curves),
            "--output",   QString::fromStdString(png),
            "--size",     QString("%1x%2").arg(view.width()).arg(view.height()),
            "--distance", QString::fromStdString(exact(distance)),
            "--tilt",     QString::fromStdString(exact(tilt)),
            "--turn",     QString::fromStdString(exact(turn))};
        batch.start(HALVORN_BATCH, args);
        QVERIFY(batch.waitForFinished(120000));
        const QString errors = QString::fromLocal8Bit(batch.readAllStandardError());
        QVERIFY2(batch.exitCode() == 0, qPrintable(errors));
        const QImage drawn =
            QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(drawn.size(), shown.size());

        int lit = 0, differing = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                lit += (shown.pixel(x, y) & 0xFFFFFFu) != 0;
                differing += shown.pixel(x, y) != drawn.pixel(x, y);
            }
        if (differing != 0) {
            shown.save("end_to_end_dialog.png");
            drawn.save("end_to_end_batch.png");
        }
        QVERIFY2(lit > 1000, "the main view shows the classified sample");
        QCOMPARE(differing, 0);
    }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
