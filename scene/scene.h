#pragma once

#include "classify_changes.h"
#include "colour_legend.h"
#include "curve_channels.h"
#include "curve_presets.h"
#include "curves_file.h"
#include "grid_import.h"
#include "interactive_detail.h"
#include "orientation_axes.h"
#include "splat_renderer.h"
#include "transfer_function.h"
#include "view_controller.h"
#include "volume.h"
#include "window_cache.h"

#include <optional>
#include <string>
#include <vector>

class LabelMaker;
class ViewFrame;

// The scene both programs drive: the data and colour volumes, the four curves, the settings of
// the classification, the camera and its controller, the splat renderer and the main view's
// detail policy, wired once by the constructor as the dialog's scene always was; and the
// commands that act on them. The dialog and the batch tool gather a person's choices and call
// these, so both draw the same picture for the same settings. No Qt, no window.
//
// The objects are plain fields, as the views and panels point at them. Declaration order is
// destruction order in reverse: everything that points at the volumes dies before them.
class Scene {
public:
    Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    Volume data_volume;
    Volume colour_volume;
    TransferFunction curves[channel_count]; // red, green, blue, opacity
    TransferFunction& red_curve = curves[channel_index(Channel::red)];
    TransferFunction& green_curve = curves[channel_index(Channel::green)];
    TransferFunction& blue_curve = curves[channel_index(Channel::blue)];
    TransferFunction& opacity_curve = curves[channel_index(Channel::opacity)];
    ViewController view_controller;
    SplatRenderer splat_renderer;
    InteractiveDetail interactive_detail; // the main view's frame policy
    // Drawn over the main view's grid when shown (both off at start): "Show Legend" and
    // "Show Axes". Their words come from the label maker, when a program gives one.
    ColourLegend legend;
    OrientationAxes axes;
    const LabelMaker* label_maker = nullptr; // not owned

    // What classification maps: the value at curve position 0 and the span of positions 0 to 1.
    double low_end = 0.0;
    double range = 100.0;
    MissingData missing_data = MissingData::grey;
    // How a path is averaged: exactly along its values whichever way they run (the default),
    // or with the forward-only walk of old.
    PathIntegration integration = PathIntegration::exact;
    // The settings above as the classifier takes them.
    ClassifySettings classify_settings() const {
        return {low_end, range, missing_data, integration};
    }

    TransferFunction& curve(Channel c) { return curves[channel_index(c)]; }
    const TransferFunction& curve(Channel c) const { return curves[channel_index(c)]; }

    // --- The grid
    // "Open File" on a chosen path: converts, reads back and loads the grid into the data
    // volume and sizes the colour volume; on a failure or cancel both are left as they were.
    // A loaded grid is classified afresh by the next classification.
    ImportResult import_grid(const std::string& grid_path, ImportPrompts& prompts,
                             const ImportOptions& options = {});
    // The grid last imported (empty before one is), and what it held: for a NetCDF file its
    // variables, units, dimensions and coordinates.
    const std::string& grid_path() const { return grid_path_; }
    const GridDescription& description() const { return description_; }
    // The curves file last loaded or saved (empty before one is): like the grid, no output
    // and no intermediate file is ever written over it.
    const std::string& curves_path() const { return curves_path_; }
    // The files an output must not replace: the grid and the curves file.
    std::vector<std::string> protected_paths() const;
    // The data's own span: its minimum and maximum - minimum (1 for a constant field); false
    // when there are no valid samples.
    bool data_range(double& low, double& span) const;

    // --- Curves files
    // Reads the file into the four curves (their segments built at once, so that a
    // classification sees them before any panel paints); the file's low end and range are
    // handed back for the caller to apply. A refused file changes nothing. A colour map
    // without opacity (a ParaView preset without "Points") leaves the opacity curve.
    bool load_curves(const std::string& path, CurvesFile& file, std::string& error);
    // The four curves with the low end and range.
    bool save_curves(const std::string& path, std::string& error);
    CurvesFile curves_file() const;
    // Sets the curves of the chosen presets (a colour preset the red, green and blue curves, an
    // opacity preset the opacity curve), their segments built at once; the other curves, the
    // low end and the range stay. False, changing nothing, when the choice is empty.
    bool apply_preset(const PresetChoice& choice);

    // --- The components' window
    // Classification integrates only components first..last (counted from 0) of each grid
    // point's path: a window through time when the components are moments. All of them is
    // the plain classification. False (nothing changed) for a window outside the grid's
    // components. A new grid takes all components again.
    bool set_component_window(int first, int last);
    int window_first() const;
    int window_last() const;
    int window_width() const { return window_last() - window_first() + 1; }
    // Playback's classification of the current window, the same colour volume as
    // classify_all: a window already classified with the same curves, settings and data is
    // copied back instead of classified again (up to 512 MiB of them are kept).
    bool classify_window_cached();
    // One step of playback, for the main view's next frame. A window classified before is
    // copied back. Otherwise, where the detail policy is to draw that frame coarse, only the
    // grid points it draws are classified (they get exactly classify_all's colours) and the
    // frame is held at that detail; the rest of the grid is classified as soon as a frame
    // that draws other points, or the probe, needs it.
    bool classify_playback_step();
    // Classifies what a step of playback left out (nothing when the colours are whole).
    bool complete_colours();
    bool colours_complete() const { return !partial_; }

    // --- Classification
    // Classifies the data volume into the colour volume through the four curves; false when
    // it was refused (extents that differ, a range of 0), the colour volume then unchanged.
    bool classify_all();
    // The same result computing only the channels whose curves changed since the last one.
    bool classify_changed();
    // The data volume's samples were changed outside import_grid: the next classification
    // computes every channel.
    void data_replaced() {
        classifier_.forget();
        window_filled_ = false;
        window_cache_.clear();
    }
    // The channels the last classification computed (bit 0 red ... bit 3 opacity).
    int last_channels() const { return classifier_.last_channels(); }

    // --- The camera
    // The distance from the grid's centre (when given), then a tilt and a turn in radians as a
    // left-button drag applies them: rotate_left(axis_rotation(1, tilt)), then
    // rotate_right(axis_rotation(0, turn)).
    // A spin then turns the camera about the grid's up axis (z), as a turntable drag does.
    void place_camera(std::optional<double> distance, double tilt, double turn, double spin = 0.0);
    // The command-line words that place the camera where it is now, from the start-up
    // camera: "--distance 750 --tilt -0.5 --turn 0.6" (and "--spin S" when not 0).
    std::string camera_words() const;
    // "Turntable Rotation": a horizontal left drag turns the grid about its up axis (z)
    // instead of rolling the picture about the view axis; a vertical one tilts it either way.
    void set_turntable(bool on) { view_controller.drag_x_axis = on ? 2 : 0; }
    bool turntable() const { return view_controller.drag_x_axis == 2; }
    // The distance at which the whole grid fits a view of this width / height from the
    // camera's current direction; false (camera unchanged) without a grid.
    bool fit_view(double aspect);
    // The start-up camera: no rotation, distance 750, or as far as a stretched grid needs.
    void reset_view(double aspect);
    // Zooms as a right drag over `notches` tenths of the view's height would (positive brings
    // the eye nearer), one tenth at a time.
    void zoom_notches(int notches);
    // The grid is drawn stretched by these factors along x, y and z (a negative one flips
    // that axis). Until one is set, a grid whose z indices run downwards (a NetCDF depth with
    // positive = "down" stored shallowest first) is flipped along z on import, so its surface
    // is on top.
    void set_axis_scale(const Vec3& scale) {
        splat_renderer.axis_scale = scale;
        axis_scale_chosen_ = true;
    }
    const Vec3& axis_scale() const { return splat_renderer.axis_scale; }
    // The value under the pointer at (fx, fy), fractions of a view of this aspect (width over
    // height) from its top-left corner: the first grid point along the ray from the eye whose
    // colour has opacity above probe_opacity_threshold, described as probe_words() does;
    // empty when the ray meets none. Reads the volumes and the camera only.
    std::string probe(double fx, double fy, double aspect) const;
    // "View From": the camera looks at the grid's centre from the side of grid axis `axis`
    // (0 x, 1 y, 2 z) towards which the axis grows (`positive`) or the other, at the current
    // distance; the grid's z axis is up in views along x and y, its y axis in views along z.
    void view_from(int axis, bool positive);

    // --- Drawing
    // Makes `view` the main view: its projection on, its draw list the controller (light and
    // look-at), the splat renderer, then the legend and the axes.
    void attach_main_view(ViewFrame& view);
    // One frame of the main view, width x height pixels, drawn headlessly (EGL); `rgba` gets
    // its pixels from the top row down. False with the reason in `error`.
    bool draw_image(int width, int height, std::vector<unsigned char>& rgba, std::string& error);

private:
    // The four curves as the classifiers take them.
    struct CurveList {
        const TransferFunction* const list[4];
    };
    CurveList curve_list() const { return {{&curves[0], &curves[1], &curves[2], &curves[3]}}; }
    // The volume the classification reads: the data volume, or a copy of the window's
    // components (whose first component then decides which points are missing).
    const Volume& classified_source();
    struct Window {
        int first = 0;
        int last = -1; // below 0: all components
    };
    Window window_;
    Volume window_volume_;
    bool window_filled_ = false; // window_volume_ holds the window of the data as it is
    WindowCache window_cache_;   // windows classified for playback
    WindowKey window_key() const;
    // Copies back the colours kept for `key`; false when none are kept.
    bool fetch_window(const WindowKey& key);
    // classify_window_cached with these settings: the window's kept colours, or a whole
    // classification that is then kept.
    bool classify_window_with(const ClassifySettings& settings);
    // After a step of playback: only the grid points of this lattice hold the window's colours.
    bool partial_ = false;
    SplatRenderer::Lattice partial_lattice_;
    // The colours are whole again: frames may go back to full detail.
    void set_colours_whole() {
        partial_ = false;
        interactive_detail.hold_coarse = false;
    }
    ClassifySettings partial_settings_; // those the partial colours were classified with
    // What classifying one grid point of the window costs, as playback last measured it.
    double seconds_per_point_ = 0.0;
    int measured_width_ = 0;
    CurveClassifier classifier_;
    std::string grid_path_;
    std::string curves_path_;
    GridDescription description_;
    bool axis_scale_chosen_ = false;
};
