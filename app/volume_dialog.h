#pragma once

#include "CGLView.h"
#include "change_listener.h"
#include "dialog_layout.h"
#include "dialog_menu.h"
#include "hover_probe.h"
#include "info_text.h"
#include "panel_overlays.h"
#include "scene.h"
#include "slider_ctrl.h"
#include "undo_history.h"

#include <QCheckBox>
#include <QDialog>
#include <QIcon>
#include <QLineEdit>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CComponentsWindow;
class DialogPrompts;
class QtPrompts;

// The main dialog (template 102), the Qt front end of the scene: its controls, the views and
// panels that show the scene, the context menu, undo and the text area. It owns the scene and
// every control by value; members are constructed in declaration order and destroyed in
// reverse, so each view dies before the scene objects it points to.
class CVolumeDialog : public QDialog, public ChangeListener {
    Q_OBJECT
public:
    // `prompts` answers message boxes and file dialogs; null uses Qt's dialogs.
    explicit CVolumeDialog(QWidget* parent = nullptr, DialogPrompts* prompts = nullptr);
    ~CVolumeDialog() override;

    // Initialises (once) and runs the dialog modally; commands queued with after_start run
    // once the dialog is shown, one after another.
    int DoModal();
    void after_start(std::function<void()> command);

    // --- The dialog's own operations
    // The framework's dialog initialisation; DoModal calls it before the dialog is shown.
    bool OnInitDialog();
    void DoDataExchange();
    void OnSysCommand(unsigned id);
    void OnPaint();
    QIcon OnQueryDragIcon() const { return icon_; }
    void OnOK();
    void OnCancel();
    void on_low_end_changed();
    void on_range_changed();
    void on_open_file();
    // The scene's views: the main view and the four panels bound to the scene's objects.
    void wire_scene();
    void sync_sliders_from_renderer();
    void apply_sliders_to_renderer();
    void on_slider_released();
    void on_set_transfer_func();
    void apply_transfer_function();
    // A curve was edited: with "Realtime Function Update" checked, the changed channels are
    // classified and the main view draws a frame that may be coarse until the edit ends.
    void changed() override;

    // --- Commands beyond the template's buttons (the context menu, the command line)
    // The import of "Open File" on a path already chosen; `options` may say which NetCDF
    // variables to take (the command line's --var and --components).
    void open_grid_path(const std::string& grid_path, const ImportOptions& options = {});
    void on_save_curves();
    void on_load_curves();
    // The curves file: the four curves and the two edit values. A refused file shows its
    // message and changes nothing.
    bool save_curves_file(const std::string& path);
    bool load_curves_file(const std::string& path);
    // "Colour Presets" and "Opacity Presets" (and --preset): the chosen presets' curves, one
    // undo step, classified at once with "Realtime Function Update"; the edit values stay.
    void apply_preset(const PresetChoice& choice);
    // F1: the mouse gestures of the panels and the main view.
    void OnHelp();
    // The edit values, through the edits so that their handlers run as typing would.
    void set_range_values(std::optional<double> low, std::optional<double> width);
    // The camera's distance from the grid's centre, then a tilt and a turn in radians as a
    // left drag applies them; the main view is redrawn.
    void place_camera(std::optional<double> distance, double tilt, double turn, double spin = 0.0);
    // The data's minimum and span into the edits, then classifies.
    void on_fit_range();
    void on_fit_view();
    void on_reset_view();
    void on_save_image();
    // Writes the main view's pixels as a PNG; a failure is reported and leaves no file.
    bool save_image_file(const std::string& path);
    void on_undo();
    void on_redo();
    // How missing grid points are coloured: an undo step that acts at the next
    // classification (at once with "Realtime Function Update").
    void set_missing_data(MissingData missing);
    // "Path Integration": Exact (the default) or Forward Only, the older walk; the same kind
    // of step as the missing-data choice.
    void set_integration(PathIntegration integration);
    // The pointer rests at (x, y) over the main view (fractions from its top-left corner):
    // the text area names the grid point there, or nothing when the item is off.
    void on_pointer_over(double x, double y);
    void on_axis_scale();
    void set_axis_scale(const Vec3& scale);
    // "Fast Interaction": off draws every frame at full detail.
    void set_fast_interaction(bool on);
    bool fast_interaction() const { return scene_.interactive_detail.enabled(); }
    // "Components...": the tool window of the components' window and its playback.
    void on_components();
    CComponentsWindow* components_window() const { return components_window_; }
    // Classification integrates components first..last (counted from 0) and the main view
    // shows it at once; while `playing` its frame may be coarse where a full one is slow. False
    // (nothing changed) for a window outside the grid's components.
    bool set_component_window(int first, int last, bool playing = false);
    // Playback stopped: a coarse frame still shown becomes the full one.
    void end_playback();
    // "Drawing": how the main view's splats reach GL (the menu's Immediate, Arrays, Shaders).
    void set_drawing(SplatDrawing drawing);
    SplatDrawing drawing() const { return scene_.splat_renderer.drawing; }
    // The panels draw their histograms and point handles as the menu's two toggles say.
    void show_overlays();
    // "Turntable Rotation": a horizontal drag in the main view turns the grid about its up
    // axis instead of rolling the picture.
    void set_turntable(bool on);
    // "Show Legend" and "Show Axes": the main view's colour legend and orientation axes (view
    // settings like Turntable Rotation: no undo step).
    void show_legend(bool on);
    void show_axes(bool on);
    // "View From": the camera looks along grid axis `axis` (0 x, 1 y, 2 z) from its positive
    // or negative side, at the current distance.
    void view_from(int axis, bool positive);
    // Ending the dialog (OK, Cancel, Escape, the close box) asks "Save the curves before
    // closing?" when the curves or the edit values changed since they were last loaded or
    // saved; off for scripts (--no-confirm).
    void set_confirm_end(bool on) { confirm_end_ = on; }
    bool curves_changed() const;
    // The picture does not show the current curves, values and data.
    bool picture_stale() const;

    // --- For the program's own tests and benchmarks
    // The control with this template id (GetDlgItem), or null: 1000 the main view, 1003 to
    // 1006 the red, green, blue and opacity panels, 1001 and 1002 the sliders, 1008 and 1009
    // the edits, 1011 the check box, 1007 and 1012 the buttons.
    QWidget* control(int id) const;
    const Scene& scene() const { return scene_; }
    // The data volume was filled outside an import (tests, benchmarks): the next
    // classification computes everything and the main view draws its next frame anew.
    void data_replaced();
    // The scene to change directly, for tests and benchmarks that set up a state no command
    // reaches; the controls, undo and the text area do not follow such changes.
    Scene& scene_for_setup() { return scene_; }
    const DialogMenu& menu() const { return menu_; }
    UndoHistory& history() { return history_; }
    const InfoText& info_text() const { return info_text_; }

    // Every way of ending the dialog comes here; it may be refused (Cancel in the question).
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void create_template_controls();
    void bind_control(int id, QWidget& member);
    void set_window_text(QLineEdit& edit, const QString& text);
    void on_edit_changed(QLineEdit& edit, double& member, CSliderCtrl& slider);
    void default_sys_command(unsigned id);
    // A classification of every channel; false when it was refused.
    bool classify_everything();
    void realtime_update();
    // Zooms as a right drag over `notches` tenths of the main view's height would.
    void zoom_notches(int notches);
    void panels_follow_range();
    void repaint_panels();
    EditState edit_state() const;
    void restore_edit_state(const EditState& state);
    double main_view_aspect() const;
    // What the picture was last coloured from, to tell when it no longer matches.
    struct ColouredFrom {
        EditState edits;
        std::uint64_t data = 0;
    };
    ColouredFrom coloured_from_now() const;
    // The text area and the "Set Transfer Func" button after anything that may change what
    // the picture should show: stale or not, what the range values do, where the camera is.
    void update_feedback();
    void mark_edit(QLineEdit& edit, bool number, double kept);
    void set_button_marked(bool marked);
    // A new grid: the Components window's boxes follow it.
    void components_follow_grid();

    QIcon icon_;
    Scene scene_;
    HoverProbe hover_probe_; // the main view's mouse listener, so declared before it
    CGLView main_view_;
    CGLView red_panel_;
    CGLView green_panel_;
    CGLView blue_panel_;
    CGLView opacity_panel_;
    CGLView* panels_[channel_count]; // red, green, blue, opacity
    CSliderCtrl scale_slider_;
    CSliderCtrl offset_slider_;
    QLineEdit low_end_edit_;
    QLineEdit range_edit_;
    QCheckBox realtime_check_;
    InfoText info_text_;
    PanelOverlays overlays_;
    UndoHistory history_;
    DialogMenu menu_;

    std::unique_ptr<QtPrompts> own_prompts_;
    DialogPrompts* prompts_ = nullptr;
    std::map<int, QWidget*> controls_;
    std::vector<QWidget*> template_widgets_; // in template order
    std::vector<std::function<void()>> after_start_;
    bool initialised_ = false;
    DialogLayout layout_;
    bool confirm_end_ = true;
    EditState saved_state_; // as last loaded or saved (the start-up values before either)
    std::optional<ColouredFrom> coloured_from_;
    std::uint64_t data_generation_ = 0; // a new one for each grid loaded
    int wheel_eighths_ = 0;             // wheel turn not yet applied, in 1/8 degree
    QTimer wheel_rest_;                 // restarted by each wheel step; then the full frame
    CComponentsWindow* components_window_ = nullptr; // made when first shown; a child widget
};
