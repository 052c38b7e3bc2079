#pragma once

#include <QSlider>

// A horizontal trackbar with the range 0 to 100 and no ticks. Releasing the mouse button
// after pressing on it reports released_capture(), after the slider has taken its final
// position; keyboard moves report nothing.
class CSliderCtrl : public QSlider {
    Q_OBJECT
public:
    explicit CSliderCtrl(QWidget* parent = nullptr);

    // Positions outside 0..100 are clamped to the nearest end.
    void set_pos(int position) { setValue(position); }
    int get_pos() const { return value(); }

signals:
    void released_capture();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
