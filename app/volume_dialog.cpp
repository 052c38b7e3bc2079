#include "volume_dialog.h"

#include "about_dialog.h"
#include "c_locale.h"
#include "dialog_templates.h"
#include "dialog_units.h"
#include "edit_number.h"
#include "qt_prompts.h"
#include "shown_path.h"
#include "strings.h"
#include "template_controls.h"

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <chrono>

namespace {

constexpr unsigned sc_about = 0x0010;
constexpr unsigned sc_close = 0xF060;

} // namespace

CVolumeDialog::CVolumeDialog(QWidget* parent, DialogPrompts* prompts)
    : QDialog(parent), icon_(QString::fromLatin1(main_icon_path)),
      hover_probe_(scene_.view_controller, [this](double x, double y) { on_pointer_over(x, y); }),
      main_view_(this), red_panel_(this), green_panel_(this), blue_panel_(this),
      opacity_panel_(this), panels_{&red_panel_, &green_panel_, &blue_panel_, &opacity_panel_},
      scale_slider_(this), offset_slider_(this), low_end_edit_(this), range_edit_(this),
      realtime_check_(this), info_text_(this),
      history_([this] { return edit_state(); },
               [this](const EditState& state) { restore_edit_state(state); }) {
    scene_.low_end = 0.0;
    scene_.range = 100.0;
    if (!prompts) {
        own_prompts_ = std::make_unique<QtPrompts>(this);
        prompts = own_prompts_.get();
    }
    prompts_ = prompts;
    create_template_controls();
    const QRect info_at = dialog_rect(16, 252, 408, 80, dialog_base_units(font()));
    info_text_.setGeometry(info_at);
    layout_.add(&info_text_, info_at);
    // Enter in an edit takes its value (as typing already has) and keeps the dialog open.
    low_end_edit_.installEventFilter(this);
    range_edit_.installEventFilter(this);
    offset_slider_.setToolTip(
        tr("Opacity offset of the scalar colour ramp (5 to -5), taken when the slider is "
           "released; the slider then shows the Low End value again. The picture coloured "
           "through the curves does not use it."));
    scale_slider_.setToolTip(
        tr("Opacity slope of the scalar colour ramp (0 to 10), taken when the slider is "
           "released; the slider then shows the Temperature Range again. The picture coloured "
           "through the curves does not use it."));

    // The message map.
    connect(&offset_slider_, &CSliderCtrl::released_capture, this,
            &CVolumeDialog::on_slider_released);
    connect(&scale_slider_, &CSliderCtrl::released_capture, this,
            &CVolumeDialog::on_slider_released);
    connect(&low_end_edit_, &QLineEdit::textChanged, this, &CVolumeDialog::on_low_end_changed);
    connect(&range_edit_, &QLineEdit::textChanged, this, &CVolumeDialog::on_range_changed);
    const auto on_click = [this](int id, void (CVolumeDialog::*handler)()) {
        connect(static_cast<QPushButton*>(controls_.at(id)), &QPushButton::clicked, this, handler);
    };
    on_click(1, &CVolumeDialog::OnOK);
    on_click(2, &CVolumeDialog::OnCancel);
    on_click(1007, &CVolumeDialog::on_set_transfer_func);
    on_click(1012, &CVolumeDialog::on_open_file);
    // F1, the framework's help command.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CVolumeDialog::OnHelp);
}

CVolumeDialog::~CVolumeDialog() {
    // The views go after the text area and the menu they report to: let no late event of
    // theirs (a leave, a move) reach this dialog's half-destroyed members.
    main_view_.removeEventFilter(this);
    main_view_.mouse_listener = &scene_.view_controller;
}

// The window and the controls that no member stands for, as the dialog template creates them.
void CVolumeDialog::create_template_controls() {
    const DialogTemplate& t = main_dialog_template;
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(tr(t.caption));
    setFont(dialog_font(t.font_points));
    const BaseUnits units = dialog_base_units(font());
    // The template's size is the smallest; a larger window gives the main view the room.
    const QSize size(dialog_x_to_pixels(t.width, units), dialog_y_to_pixels(t.height, units));
    setMinimumSize(size);
    resize(size);
    layout_.start(size, dialog_rect(*find_template_control(t.controls, t.count, 1000), units));
    template_widgets_.assign(t.count, nullptr);
    for (int i = 0; i < t.count; ++i) {
        // The views' statics are the members that DoDataExchange binds.
        if (t.controls[i].kind == ControlKind::view)
            continue;
        QWidget* widget = create_template_control(t.controls[i], units, this);
        template_widgets_[i] = widget;
        if (widget)
            layout_.add(widget, widget->geometry());
        if (widget && t.controls[i].id != -1)
            controls_[t.controls[i].id] = widget;
    }
}

QWidget* CVolumeDialog::control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void CVolumeDialog::bind_control(int id, QWidget& member) {
    const DialogTemplate& t = main_dialog_template;
    const TemplateControl* entry = find_template_control(t.controls, t.count, id);
    const QRect at = dialog_rect(*entry, dialog_base_units(font()));
    member.setGeometry(at);
    layout_.add(&member, at);
    if (auto* check = qobject_cast<QCheckBox*>(&member))
        check->setText(tr(entry->text));
    if (entry->kind == ControlKind::view) {
        member.setContextMenuPolicy(Qt::PreventContextMenu); // right drags belong to the view
        member.setFocusPolicy(Qt::NoFocus);
    }
    controls_[id] = &member;
    template_widgets_[entry - t.controls] = &member;
}

void CVolumeDialog::DoDataExchange() {
    bind_control(1000, main_view_);
    bind_control(1003, red_panel_);
    bind_control(1004, green_panel_);
    bind_control(1005, blue_panel_);
    bind_control(1002, scale_slider_);
    bind_control(1001, offset_slider_);
    bind_control(1006, opacity_panel_);
    bind_control(1008, low_end_edit_);
    bind_control(1009, range_edit_);
    bind_control(1011, realtime_check_);

    // Stacking and tab order follow the template, whichever object created the control:
    // later controls lie on top (the panels on the group box).
    QWidget* previous_stop = nullptr;
    for (QWidget* widget : template_widgets_) {
        if (!widget)
            continue;
        // Opaque controls repaint alone, as child windows do; otherwise every caret blink or
        // hover would repaint the dialog and, with it, move the sliders back to the renderer.
        widget->setAutoFillBackground(true);
        widget->raise();
        if (widget->focusPolicy() & Qt::TabFocus) {
            if (previous_stop)
                setTabOrder(previous_stop, widget);
            previous_stop = widget;
        }
    }
}

int CVolumeDialog::DoModal() {
    OnInitDialog();
    // One timer runs the queued commands in order, each to its end before the next starts: a
    // message box that one shows runs an event loop, in which a timer of the next command
    // would otherwise fire. Once the dialog has ended, the rest are dropped.
    std::vector<std::function<void()>> commands;
    commands.swap(after_start_);
    if (!commands.empty())
        QTimer::singleShot(0, this, [this, commands] {
            for (const auto& command : commands) {
                if (!isVisible())
                    return;
                command();
            }
        });
    return exec();
}

void CVolumeDialog::after_start(std::function<void()> command) {
    after_start_.push_back(std::move(command));
}

bool CVolumeDialog::OnInitDialog() {
    if (initialised_)
        return true;
    initialised_ = true;
    DoDataExchange();
    menu_.build(*this, history_.stack());
    setWindowIcon(icon_); // the large and the small icon

    wire_scene();
    show_overlays();

    set_window_text(low_end_edit_, QStringLiteral("0"));
    set_window_text(range_edit_, QStringLiteral("100"));
    offset_slider_.set_pos(0);
    scale_slider_.set_pos(100);
    saved_state_ = edit_state();
    layout_.apply(size());
    update_feedback();

    // The statistics of the still empty data volume, before the dialog is first shown.
    const Volume& empty = scene_.data_volume;
    prompts_->show_message(
        format_c("avg == %lf, stddev == %lf, min is %lf, max is %lf, numvalidsamps = %lld",
                 empty.stat_mean, empty.stat_std_dev, empty.stat_min, empty.stat_max,
                 static_cast<long long>(empty.stat_count)));
    return true;
}

void CVolumeDialog::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == sc_about) {
        CAboutDialog about(this);
        prompts_->run_modal(about);
    } else {
        default_sys_command(id);
    }
}

// What the window manager does with a system command that reaches this dialog: the close
// item ends it as the close box does; nothing else is routed here.
void CVolumeDialog::default_sys_command(unsigned id) {
    if ((id & 0xFFF0) == sc_close)
        close();
}

// A minimised window receives no paint on X11, so every paint here is of the open dialog.
void CVolumeDialog::paintEvent(QPaintEvent* event) {
    OnPaint();
    QDialog::paintEvent(event);
}

void CVolumeDialog::OnPaint() {
    sync_sliders_from_renderer();
}

void CVolumeDialog::OnOK() {
    accept();
}

void CVolumeDialog::done(int result) {
    if (confirm_end_ && isVisible() && curves_changed()) {
        switch (prompts_->ask_save_before_closing()) {
        case CloseChoice::cancel:
            return;
        case CloseChoice::save: {
            std::string path;
            if (!prompts_->ask_file(FileQuestion::save_curves, "curves.json", path) ||
                !save_curves_file(path))
                return; // not saved: the dialog stays open
            break;
        }
        case CloseChoice::discard:
            break;
        }
    }
    QDialog::done(result);
}

void CVolumeDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layout_.apply(size());
}

void CVolumeDialog::OnCancel() {
    reject();
}

void CVolumeDialog::contextMenuEvent(QContextMenuEvent* event) {
    // Only the dialog's free area: its background, the group box and the static texts.
    QWidget* under = childAt(event->pos());
    const bool view = under == &main_view_ || under == &red_panel_ || under == &green_panel_ ||
                      under == &blue_panel_ || under == &opacity_panel_;
    const bool free_area =
        !under || qobject_cast<QGroupBox*>(under) || (qobject_cast<QLabel*>(under) && !view);
    if (!free_area || !menu_.menu()) {
        event->ignore();
        return;
    }
    menu_.menu()->exec(event->globalPos());
}

// Sets an edit's text and runs its change handler, also when the text stays the same (an
// edit control reports every text change, Qt only real ones). The text is shown from its
// start, as an edit control shows a text set by the program (QLineEdit would scroll to its
// end and hide the leading digits of "100.000000").
void CVolumeDialog::set_window_text(QLineEdit& edit, const QString& text) {
    if (edit.text() != text) {
        edit.setText(text); // textChanged runs the handler
    } else if (&edit == &low_end_edit_) {
        on_low_end_changed();
    } else {
        on_range_changed();
    }
    edit.setCursorPosition(0);
}

void CVolumeDialog::on_edit_changed(QLineEdit& edit, double& member, CSliderCtrl& slider) {
    double value = -9999.0;
    const int scanned = scan_edit_double(edit.text().toStdString(), value);
    // EOF (an empty text) passes the first test; the untouched sentinel fails the second.
    const bool taken = scanned != 0 && value > -9999.0;
    if (taken) {
        member = value;
        slider.set_pos(saturating_trunc(value));
        panels_follow_range();
    }
    // An empty text is no mistake (the value stays); anything else that was not taken is.
    mark_edit(edit, taken || edit.text().trimmed().isEmpty(), member);
    update_feedback();
}

void CVolumeDialog::on_low_end_changed() {
    on_edit_changed(low_end_edit_, scene_.low_end, offset_slider_);
}

void CVolumeDialog::on_range_changed() {
    on_edit_changed(range_edit_, scene_.range, scale_slider_);
}

void CVolumeDialog::on_open_file() {
    std::string grid_path;
    if (!prompts_->ask_file(FileQuestion::open_grid, std::string(), grid_path))
        grid_path.clear(); // the import goes on with the empty path and reports it
    open_grid_path(grid_path);
}

namespace {

// Passes the import's questions on and keeps the time a person spent answering them, which
// is not the import's.
class TimedPrompts final : public ImportPrompts {
public:
    explicit TimedPrompts(ImportPrompts& to) : to_(to) {}
    void show_message(const std::string& text) override {
        const auto start = std::chrono::steady_clock::now();
        to_.show_message(text);
        asked += std::chrono::steady_clock::now() - start;
    }
    bool ask_save_path(const std::string& initial, std::string& chosen) override {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = to_.ask_save_path(initial, chosen);
        asked += std::chrono::steady_clock::now() - start;
        return ok;
    }
    bool progress(ImportStage stage, std::int64_t done, std::int64_t total) override {
        return to_.progress(stage, done, total);
    }
    bool choose_variables(const std::string& file, const std::vector<VariableCandidate>& candidates,
                          VariableChoice& choice) override {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = to_.choose_variables(file, candidates, choice);
        asked += std::chrono::steady_clock::now() - start;
        return ok;
    }
    std::chrono::steady_clock::duration asked{};

private:
    ImportPrompts& to_;
};

} // namespace

void CVolumeDialog::open_grid_path(const std::string& grid_path, const ImportOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    prompts_->begin_import(grid_path);
    TimedPrompts timed(*prompts_);
    const ImportResult result = scene_.import_grid(grid_path, timed, options);
    main_view_.invalidate(); // the colour volume's samples may be new
    main_view_.update();     // and the last grid's picture must not stay on show
    prompts_->end_import();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start - timed.asked)
            .count();
    if (result.ok) {
        ++data_generation_;
        overlays_.data_replaced();
        panels_follow_range();
        components_follow_grid();
    }
    info_text_.report_import(grid_path, result, scene_.data_volume, seconds);
    if (const std::string notice = result.description.low_value_notice(); !notice.empty())
        prompts_->show_message(shown_path(grid_path) + ": " + notice + ".");
    update_feedback();
}
