#pragma once

#include "CGLView.h"
#include "change_listener.h"
#include "classify_changes.h"
#include "interactive_detail.h"
#include "slider_ctrl.h"
#include "splat_renderer.h"
#include "transfer_function.h"
#include "view_controller.h"
#include "volume.h"

#include <QCheckBox>
#include <QDialog>
#include <QIcon>
#include <QLineEdit>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DialogPrompts;
class QAction;
class QMenu;
class QtPrompts;

// The main dialog (template 102): owns every object of the program by value. Members are
// constructed in declaration order and destroyed in reverse, so each view dies before what it
// points to.
class CVolumeDialog : public QDialog, public ChangeListener {
    Q_OBJECT
public:
    // `prompts` answers message boxes and file dialogs; null uses Qt's dialogs.
    explicit CVolumeDialog(QWidget* parent = nullptr, DialogPrompts* prompts = nullptr);
    ~CVolumeDialog() override;

    // Initialises (once) and runs the dialog modally; commands queued with after_start run
    // once the dialog is shown.
    int DoModal();
    void after_start(std::function<void()> command);

    // The framework's dialog initialisation; DoModal calls it before the dialog is shown.
    bool OnInitDialog();
    void DoDataExchange();
    void OnSysCommand(unsigned id);
    void OnPaint();
    QIcon OnQueryDragIcon() const { return icon; }
    void OnOK();
    void OnCancel();
    void on_low_end_changed();
    void on_range_changed();
    void on_open_file();
    // The import of "Open File" on a path that was already chosen.
    void open_grid_path(const std::string& grid_path);

    // Part of the scene: the wiring and the view commands.
    void wire_scene();
    void sync_sliders_from_renderer();
    void apply_sliders_to_renderer();
    void on_slider_released();
    void on_set_transfer_func();
    void apply_transfer_function();
    // A curve was edited: classifies and repaints when "Realtime Function Update" is checked.
    void changed() override;

    // Interaction at any grid size (volume_dialog_interaction.cpp): coarse main-view frames
    // while a button is held or curves are edited in real time, and classification of the
    // changed curves only.
    void wire_interaction();
    void add_interaction_commands();
    // "Fast Interaction": off draws every frame at full detail, as the plain procedure does.
    void set_fast_interaction(bool on);
    bool fast_interaction() const { return interactive_detail.enabled(); }
    // The realtime update of a curve edit: the changed channels, then a main-view frame that
    // may be coarse until the edit ends.
    void realtime_update();
    // Classification of everything, remembered for the realtime updates that follow.
    void classify_everything();
    // The data volume was replaced (an import): the next classification does everything and
    // the main view draws its next frame.
    void data_replaced();

    // The curves file: the four curves and the two edit values. A refused file shows its
    // message and changes nothing.
    void on_save_curves();
    void on_load_curves();
    bool save_curves_file(const std::string& path);
    bool load_curves_file(const std::string& path);
    // F1: the mouse gestures of the panels and the main view.
    void OnHelp();

    // Start-up commands of the command line (volume_dialog_start.cpp). The values go through
    // the edits, so their handlers set the members and move the sliders as typing would.
    void set_range_values(std::optional<double> low, std::optional<double> width);
    // The distance from the grid's centre, then a tilt and a turn in radians as a left drag
    // applies them; the main view is redrawn.
    void place_camera(std::optional<double> distance, double tilt, double turn);

    // The control with this template id (GetDlgItem), or null.
    QWidget* control(int id) const;
    // The context menu that stands for the system menu.
    QMenu* system_menu() const { return system_menu_; }

    QIcon icon;
    double low_end = 0.0;
    double range = 100.0;
    Volume data_volume;
    Volume colour_volume;
    TransferFunction red_curve;
    TransferFunction green_curve;
    TransferFunction blue_curve;
    TransferFunction opacity_curve;
    ViewController view_controller;
    SplatRenderer splat_renderer;
    InteractiveDetail interactive_detail; // the main view's frame policy
    CurveClassifier curve_classifier;
    CGLView main_view;
    CGLView red_panel;
    CGLView green_panel;
    CGLView blue_panel;
    CGLView opacity_panel;
    CSliderCtrl scale_slider;
    CSliderCtrl offset_slider;
    QLineEdit low_end_edit;
    QLineEdit range_edit;
    QCheckBox realtime_check;

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void create_template_controls();
    void add_curve_commands();
    void bind_control(int id, QWidget& member);
    void set_window_text(QLineEdit& edit, const QString& text);
    void on_edit_changed(QLineEdit& edit, double& member, CSliderCtrl& slider);
    void default_sys_command(unsigned id);

    std::unique_ptr<QtPrompts> own_prompts_;
    DialogPrompts* prompts_ = nullptr;
    QMenu* system_menu_ = nullptr;
    QAction* fast_interaction_action_ = nullptr;
    std::map<int, QWidget*> controls_;
    std::vector<QWidget*> template_widgets_; // in template order
    std::vector<std::function<void()>> after_start_;
    bool initialised_ = false;
};
