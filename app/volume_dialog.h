#pragma once

#include "CGLView.h"
#include "change_listener.h"
#include "classify_changes.h"
#include "interactive_detail.h"
#include "curve_state.h"
#include "panel_overlays.h"
#include "slider_ctrl.h"
#include "splat_renderer.h"
#include "transfer_function.h"
#include "view_controller.h"
#include "volume.h"

#include <QCheckBox>
#include <QDialog>
#include <QIcon>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QUndoStack>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DialogPrompts;
class QAction;
struct ImportResult;
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
    // Classification of everything, remembered for the realtime updates that follow; false
    // when it was refused.
    bool classify_everything();
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

    // Commands beyond the template's buttons (volume_dialog_view.cpp, volume_dialog_undo.cpp).
    // Fit Range to Data: the data's minimum and span into the edits, then classifies.
    void on_fit_range();
    // The camera's distance at which the whole grid fits the main view from where it looks.
    void on_fit_view();
    // The start-up camera: no rotation, distance 750.
    void on_reset_view();
    void on_save_image();
    // Writes the main view's pixels as a PNG; a failure is reported and leaves no file.
    bool save_image_file(const std::string& path);
    // Zooms as a right drag over `notches` tenths of the main view's height would (positive
    // brings the eye nearer), one tenth at a time.
    void zoom_notches(int notches);
    void on_undo();
    void on_redo();
    // The four curves and the two edit values, as an undo step stores them.
    CurveState curve_state() const;
    void restore_curve_state(const CurveState& state);
    // Pushes an undo step from `before` to the current state, unless nothing changed.
    void push_curve_step(const CurveState& before, const QString& name);
    QUndoStack& undo_stack() { return undo_stack_; }
    // Real grids (volume_dialog_grid.cpp): the colour of missing data, an undo step that acts
    // at the next classification (at once with "Realtime Function Update"), and the factors
    // the grid is drawn stretched by.
    void set_missing_data(MissingData missing);
    void on_axis_scale();
    void set_axis_scale(const Vec3& scale);
    QAction* missing_data_item(MissingData missing) const;
    // Checkable menu items (null before OnInitDialog).
    QAction* show_histograms_item() const { return show_histograms_; }
    QAction* show_handles_item() const { return show_handles_; }

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
    // What was loaded, below the main view (volume_dialog_info.cpp).
    QPlainTextEdit info_text;
    PanelHistogram histograms[4]; // red, green, blue, opacity, behind the curves
    PointHandles handles[4];      // in front of them
    MissingData missing_data = MissingData::grey;

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void add_view_commands();
    QList<QAction*> grid_commands();
    void show_missing_data(MissingData missing);
    QAction* add_command(const QString& text, const QList<QKeySequence>& keys,
                         void (CVolumeDialog::*handler)());
    void wire_overlays();
    void panels_follow_range();
    void repaint_panels();
    void create_info_text();
    void show_info();
    // After "Open File": what was imported, or the refusal.
    void report_import(const std::string& grid_path, const ImportResult& result,
                       double seconds);
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

    QUndoStack undo_stack_;
    std::optional<CurveState> gesture_before_; // the state when a panel's button went down
    int wheel_eighths_ = 0;                     // wheel turn not yet applied, in 1/8 degree
    QTimer wheel_rest_; // restarted by each wheel step; then the full frame
    QAction* show_histograms_ = nullptr;
    QAction* show_handles_ = nullptr;
    QAction* missing_items_[3] = {nullptr, nullptr, nullptr}; // grey, faint, hidden
    std::string info_loaded_;  // the loaded grid's description; empty before any import
    std::string info_refusal_; // the last refused import, if after it
    bool colour_pending_ = false; // imported but not classified since
    std::string loaded_grid_path_; // never written over by Save Image
};
