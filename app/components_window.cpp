#include "components_window.h"

#include "component_steps.h"
#include "volume_dialog.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int default_rate = 5; // windows per second
constexpr int max_rate = 60;

} // namespace

CComponentsWindow::CComponentsWindow(CVolumeDialog& dialog)
    : QWidget(&dialog, Qt::Tool), dialog_(dialog) {
    setWindowTitle(tr("Components"));
    setObjectName("components_window");
    rate_.setRange(1, max_rate);
    rate_.setValue(default_rate);
    rate_.setSuffix(tr(" per second"));
    play_.setText(tr("&Play"));
    play_.setCheckable(true);
    play_.setToolTip(tr("Slides a window of the chosen width through the components"));
    label_.setMinimumWidth(260);
    // A typed number takes effect once complete (Enter, leaving the box, the arrows): each
    // window is a classification of the whole grid.
    for (QSpinBox* box : {&first_, &last_})
        box->setKeyboardTracking(false);

    auto* form = new QFormLayout;
    form->addRow(tr("&First:"), &first_);
    form->addRow(tr("&Last:"), &last_);
    form->addRow(tr("&Rate:"), &rate_);
    auto* play_row = new QHBoxLayout;
    play_row->addWidget(&play_);
    play_row->addStretch();
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addLayout(play_row);
    column->addWidget(&label_);

    connect(&first_, &QSpinBox::valueChanged, this, [this] { on_first_changed(); });
    connect(&last_, &QSpinBox::valueChanged, this, [this] { on_last_changed(); });
    connect(&rate_, &QSpinBox::valueChanged, this, [this] { restart_timer(); });
    connect(&play_, &QPushButton::toggled, this, [this](bool on) { set_playing(on); });
    connect(&timer_, &QTimer::timeout, this, [this] { step(); });
    follow_scene();
}

void CComponentsWindow::follow_scene() {
    const Scene& scene = dialog_.scene();
    const int n = scene.data_volume.ncomp;
    components_ = n;
    if (n <= 1)
        set_playing(false);
    for (QSpinBox* box : {&first_, &last_}) {
        const QSignalBlocker quiet(box);
        box->setRange(n > 0 ? 1 : 0, std::max(n, 0));
        box->setEnabled(n > 0);
    }
    play_.setEnabled(n > 1);
    if (n > 0)
        set_boxes(scene.window_first() + 1, scene.window_last() + 1);
    show_label();
}

void CComponentsWindow::set_boxes(int first, int last) {
    const QSignalBlocker quiet_first(&first_);
    const QSignalBlocker quiet_last(&last_);
    first_.setValue(first);
    last_.setValue(last);
}

void CComponentsWindow::on_first_changed() {
    // A window keeps first <= last: the other end moves with the one that crossed it.
    if (last_.value() < first_.value())
        set_boxes(first_.value(), first_.value());
    apply(playing());
}

void CComponentsWindow::on_last_changed() {
    if (first_.value() > last_.value())
        set_boxes(last_.value(), last_.value());
    apply(playing());
}

void CComponentsWindow::apply(bool playing) {
    if (components_ <= 0)
        return;
    dialog_.set_component_window(first_.value() - 1, last_.value() - 1, playing);
    show_label();
}

void CComponentsWindow::show_label() {
    const Scene& scene = dialog_.scene();
    if (components_ <= 0) {
        label_.setText(tr("No grid"));
        return;
    }
    label_.setText(QString::fromStdString(component_window_label(
        scene.description(), scene.window_first(), scene.window_last(), components_)));
}

void CComponentsWindow::restart_timer() {
    if (!playing())
        return;
    timer_.start(static_cast<int>(std::lround(1000.0 / rate_.value())));
}

void CComponentsWindow::set_playing(bool on) {
    if (on && components_ <= 1)
        on = false;
    if (play_.isChecked() != on) {
        const QSignalBlocker quiet(&play_);
        play_.setChecked(on);
    }
    if (on) {
        restart_timer();
        return;
    }
    if (timer_.isActive()) {
        timer_.stop();
        dialog_.end_playback(); // the last coarse frame gives way to the full one
    }
}

void CComponentsWindow::closeEvent(QCloseEvent* event) {
    set_playing(false);
    QWidget::closeEvent(event);
}

void CComponentsWindow::step() {
    if (components_ <= 0)
        return;
    const int width = last_.value() - first_.value() + 1;
    if (window_positions(width, components_) <= 1)
        return; // every component: nowhere to slide
    const int first = next_window_first(first_.value() - 1, width, components_);
    set_boxes(first + 1, first + width);
    apply(true);
}
