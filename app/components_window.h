#pragma once

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

class CVolumeDialog;

// "Components": a tool window beside the dialog that picks the window of components each grid
// point's path is classified over (first and last, counted from 1, all of them at start) and
// plays it: "Play" slides a window of the chosen width one component on per tick, at the rate
// of the frames-per-second box, back to the start after the last position. The label names the
// window's components and, when the file says, their coordinates (a month, a season).
class CComponentsWindow : public QWidget {
    Q_OBJECT
public:
    explicit CComponentsWindow(CVolumeDialog& dialog);

    // The boxes' ranges and values from the dialog's scene (after a new grid, say).
    void follow_scene();
    // Starts or stops playback, as the Play button does.
    void set_playing(bool on);
    bool playing() const { return play_.isChecked(); }
    // One step of playback now: the window one component on.
    void step();

    QSpinBox& first_box() { return first_; }
    QSpinBox& last_box() { return last_; }
    QSpinBox& rate_box() { return rate_; }
    QPushButton& play_button() { return play_; }
    QString label_text() const { return label_.text(); }

protected:
    // Closing the window stops playback: nothing would show what it plays.
    void closeEvent(QCloseEvent* event) override;

private:
    // The boxes were edited: the window follows, the other box moved when they crossed.
    void on_first_changed();
    void on_last_changed();
    void apply(bool playing);
    void show_label();
    void set_boxes(int first, int last); // counted from 1, without running their handlers
    void restart_timer();

    CVolumeDialog& dialog_;
    QSpinBox first_;
    QSpinBox last_;
    QSpinBox rate_;
    QPushButton play_;
    QLabel label_;
    QTimer timer_;
    int components_ = 0; // of the grid the boxes were set for
};
