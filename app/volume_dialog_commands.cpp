// The commands beyond the template's buttons: curves files, help, the range and the camera,
// images, undo, missing data, the axis scale, fast interaction, the panels' overlays and the
// main view's wheel. Each gathers what the person chose and calls the scene.
#include "volume_dialog.h"

#include "c_locale.h"
#include "dialog_prompts.h"
#include "edit_number.h"
#include "png_image.h"
#include "strings.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QWheelEvent>

#include <algorithm>

void CVolumeDialog::on_save_curves() {
    std::string path;
    if (prompts_->ask_file(FileQuestion::save_curves, "curves.json", path))
        save_curves_file(path);
}

bool CVolumeDialog::save_curves_file(const std::string& path) {
    std::string error;
    if (!scene_.save_curves(path, error)) {
        prompts_->show_message(error);
        return false;
    }
    saved_state_ = edit_state();
    return true;
}

void CVolumeDialog::on_load_curves() {
    std::string path;
    if (!prompts_->ask_file(FileQuestion::open_curves, std::string(), path))
        return;
    const EditState before = edit_state();
    if (load_curves_file(path))
        history_.push_step(before, tr("Load Curves"));
}

bool CVolumeDialog::load_curves_file(const std::string& path) {
    CurvesFile file;
    std::string error;
    if (!scene_.load_curves(path, file, error)) {
        prompts_->show_message(error); // a refused file changes nothing
        return false;
    }
    // Through the edits, so that their handlers set the values and move the sliders.
    set_range_values(file.has_low ? std::optional(file.low) : std::nullopt,
                     file.has_range ? std::optional(file.range) : std::nullopt);
    for (CGLView* panel : panels_)
        panel->repaint();
    // A colour map fitted from another program's preset is in no curves file yet: ending
    // still asks to save it.
    if (file.fitted_from.empty())
        saved_state_ = edit_state();
    if (realtime_check_.isChecked())
        apply_transfer_function();
    update_feedback();
    return true;
}

void CVolumeDialog::apply_preset(const PresetChoice& choice) {
    const EditState before = edit_state();
    if (!scene_.apply_preset(choice))
        return;
    repaint_panels();
    history_.push_step(before, choice.opacity && !choice.colour ? tr("Opacity Preset")
                                                                : tr("Colour Preset"));
    if (realtime_check_.isChecked())
        apply_transfer_function();
    update_feedback();
}

void CVolumeDialog::OnHelp() {
    prompts_->show_help(load_string(ids_help_title), load_string(ids_help_text));
}

void CVolumeDialog::set_range_values(std::optional<double> low, std::optional<double> width) {
    if (low)
        set_window_text(low_end_edit_, QString::fromStdString(format_shortest_double(*low)));
    if (width)
        set_window_text(range_edit_, QString::fromStdString(format_shortest_double(*width)));
}

void CVolumeDialog::place_camera(std::optional<double> distance, double tilt, double turn,
                                 double spin) {
    scene_.place_camera(distance, tilt, turn, spin);
    main_view_.repaint();
    update_feedback();
}

void CVolumeDialog::on_fit_range() {
    double low = 0.0, span = 0.0;
    if (!scene_.data_range(low, span))
        return;
    const EditState before = edit_state();
    // The samples are float32: shown as floats, "3.002" rather than "3.002000093460083".
    set_window_text(low_end_edit_,
                    QString::fromStdString(format_shortest_float(static_cast<float>(low))));
    set_window_text(range_edit_,
                    QString::fromStdString(format_shortest_float(static_cast<float>(span))));
    repaint_panels();
    apply_transfer_function();
    history_.push_step(before, tr("Fit Range to Data"));
}

double CVolumeDialog::main_view_aspect() const {
    return static_cast<double>(main_view_.width()) / std::max(1, main_view_.height());
}

void CVolumeDialog::on_fit_view() {
    if (scene_.fit_view(main_view_aspect()))
        main_view_.repaint();
    update_feedback();
}

void CVolumeDialog::on_reset_view() {
    scene_.reset_view(main_view_aspect());
    main_view_.repaint();
    update_feedback();
}

void CVolumeDialog::zoom_notches(int notches) {
    scene_.zoom_notches(notches);
    // Turning the wheel is an interaction: a coarse frame where a full one would be slow.
    main_view_.repaint_interactive();
    wheel_rest_.start();
}

// The main view's wheel zooms; Enter in an edit stays there.
bool CVolumeDialog::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == &low_end_edit_ || watched == &range_edit_) &&
        event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true; // the value is taken as it is typed; the default button is not pressed
    }
    if (watched == &main_view_ && event->type() == QEvent::Leave)
        info_text_.set_probe({}); // a pointer outside the view rests over nothing
    if (watched == &main_view_ && event->type() == QEvent::Wheel) {
        wheel_eighths_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
        const int notches = wheel_eighths_ / 120;
        wheel_eighths_ -= notches * 120;
        if (notches != 0)
            zoom_notches(notches);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CVolumeDialog::on_pointer_over(double x, double y) {
    info_text_.set_probe(menu_.probe_shown() && x >= 0.0 ? scene_.probe(x, y, main_view_aspect())
                                                         : std::string());
}

void CVolumeDialog::on_save_image() {
    std::string path;
    if (prompts_->ask_file(FileQuestion::save_image, "halvorn.png", path))
        save_image_file(path);
}

bool CVolumeDialog::save_image_file(const std::string& path) {
    std::string error;
    if (!write_png(main_view_.grabFramebuffer(), path, scene_.protected_paths(), error)) {
        prompts_->show_message("Cannot write the image to " + path);
        return false;
    }
    return true;
}

// --- Undo

void CVolumeDialog::on_undo() {
    history_.undo();
}

void CVolumeDialog::on_redo() {
    history_.redo();
}

EditState CVolumeDialog::edit_state() const {
    EditState state;
    for (int i = 0; i < channel_count; ++i)
        state.curves[i] = curve_points(scene_.curves[i]);
    state.low_text = low_end_edit_.text();
    state.range_text = range_edit_.text();
    state.low = scene_.low_end;
    state.range = scene_.range;
    state.missing = scene_.missing_data;
    state.integration = scene_.integration;
    return state;
}

void CVolumeDialog::restore_edit_state(const EditState& state) {
    for (int i = 0; i < channel_count; ++i) {
        set_curve_points(scene_.curves[i], state.curves[i]);
        scene_.curves[i].update_segments();
    }
    // Through the edits, so that the sliders follow; an edit text that does not read as a
    // number left the value before it, which is restored as well.
    set_window_text(low_end_edit_, state.low_text);
    set_window_text(range_edit_, state.range_text);
    scene_.low_end = state.low;
    scene_.range = state.range;
    scene_.missing_data = state.missing;
    menu_.show_missing_data(state.missing);
    scene_.integration = state.integration;
    menu_.show_integration(state.integration);
    repaint_panels();
    if (realtime_check_.isChecked())
        apply_transfer_function();
    update_feedback();
}

// --- Settings of the picture

void CVolumeDialog::set_missing_data(MissingData missing) {
    const EditState before = edit_state();
    scene_.missing_data = missing;
    menu_.show_missing_data(missing);
    history_.push_step(before, tr("Missing Data"));
    if (realtime_check_.isChecked())
        apply_transfer_function();
    update_feedback();
}

void CVolumeDialog::set_integration(PathIntegration integration) {
    const EditState before = edit_state();
    scene_.integration = integration;
    menu_.show_integration(integration);
    history_.push_step(before, tr("Path Integration"));
    if (realtime_check_.isChecked())
        apply_transfer_function();
    update_feedback();
}

void CVolumeDialog::on_axis_scale() {
    const Vec3& s = scene_.axis_scale();
    std::string text = format_c("%g,%g,%g", s.x, s.y, s.z);
    while (
        prompts_->ask_text("Axis Scale", "Stretch the grid along x, y and z (SX,SY,SZ):", text)) {
        Vec3 scale;
        if (parse_c_axis_scale(text, scale.x, scale.y, scale.z)) {
            set_axis_scale(scale);
            return;
        }
        prompts_->show_message("The axis scale needs three numbers other than 0, such as "
                               "1,1,20 (a negative one flips that axis: 1,1,-1 puts the last "
                               "depth level at the top).");
    }
}

void CVolumeDialog::set_axis_scale(const Vec3& scale) {
    scene_.set_axis_scale(scale);
    main_view_.repaint();
}

void CVolumeDialog::set_fast_interaction(bool on) {
    scene_.interactive_detail.set_enabled(on);
    menu_.show_fast_interaction(on);
    main_view_.refresh(); // a coarse frame still shown becomes the full one
}

void CVolumeDialog::set_drawing(SplatDrawing drawing) {
    scene_.splat_renderer.drawing = drawing;
    menu_.show_drawing(drawing);
    main_view_.repaint();
}

void CVolumeDialog::show_overlays() {
    overlays_.wire(scene_, panels_, menu_.histograms_shown(), menu_.handles_shown());
}

// The histograms follow the low end and the range as they are typed, and a new grid.
void CVolumeDialog::panels_follow_range() {
    if (menu_.histograms_shown())
        for (CGLView* panel : panels_)
            panel->refresh(); // drawn only where the histogram's inputs changed
}

void CVolumeDialog::repaint_panels() {
    for (CGLView* panel : panels_)
        panel->repaint();
}

void CVolumeDialog::set_turntable(bool on) {
    scene_.set_turntable(on);
    menu_.show_turntable(on);
}

// --- What the text area and the button say

bool CVolumeDialog::curves_changed() const {
    const EditState now = edit_state();
    for (int i = 0; i < channel_count; ++i)
        if (!(EditState::same_points(now.curves[i], saved_state_.curves[i])))
            return true;
    return now.low != saved_state_.low || now.range != saved_state_.range;
}

CVolumeDialog::ColouredFrom CVolumeDialog::coloured_from_now() const {
    return {edit_state(), data_generation_};
}

bool CVolumeDialog::picture_stale() const {
    if (!coloured_from_)
        return scene_.data_volume.sample_count() > 0; // loaded and never coloured
    const ColouredFrom now = coloured_from_now();
    EditState then = coloured_from_->edits;
    // The edit texts do not matter, only what they were read as.
    then.low_text = now.edits.low_text;
    then.range_text = now.edits.range_text;
    return !(then == now.edits) || coloured_from_->data != now.data;
}

namespace {

// What the range values do to the picture, when that is not the plain mapping of the data.
std::string range_note(double low, double range, const Volume& data) {
    if (range == 0.0)
        return "Range 0: nothing is coloured.";
    std::string note;
    if (range < 0.0)
        note = "Range negative: the curves run from high to low values.";
    if (data.stat_count <= 0)
        return note;
    const double first = std::min(low, low + range), last = std::max(low, low + range);
    const double span = data.stat_max - data.stat_min;
    if (last < data.stat_min || first > data.stat_max) {
        note += (note.empty() ? "" : " ") +
                format_c("No data lies in %g..%g (the data runs from %g to %g): nothing is "
                         "coloured but missing points. Fit Range to Data (Ctrl+R) spans it.",
                         first, last, data.stat_min, data.stat_max);
    } else if (span > 0.0 && last - first > 1000.0 * span) {
        note += (note.empty() ? "" : " ") +
                format_c("Range %g is over a thousand times the data's span (%g to %g): all of "
                         "it falls at one point of the curves.",
                         range, data.stat_min, data.stat_max);
    }
    return note;
}

} // namespace

void CVolumeDialog::update_feedback() {
    const bool stale = picture_stale();
    info_text_.set_stale(stale && coloured_from_.has_value());
    set_button_marked(stale);
    info_text_.set_value_note(range_note(scene_.low_end, scene_.range, scene_.data_volume));
    info_text_.set_camera(scene_.camera_words());
}

void CVolumeDialog::set_button_marked(bool marked) {
    auto* button = static_cast<QPushButton*>(controls_.at(1007));
    QFont f = button->font();
    if (f.bold() == marked)
        return;
    f.setBold(marked);
    button->setFont(f);
}

void CVolumeDialog::mark_edit(QLineEdit& edit, bool number, double kept) {
    const QString tip =
        number ? QString()
               : tr("\"%1\" is not read as a value (a number above -9999 is needed); the value "
                    "stays %2.")
                     .arg(edit.text(), QString::fromStdString(format_shortest_double(kept)));
    if (edit.toolTip() == tip)
        return;
    edit.setToolTip(tip);
    // Dark red text on a pale red ground: the mark of a value not taken.
    edit.setStyleSheet(number ? QString()
                              : QStringLiteral("QLineEdit { color: #8b0000; "
                                               "background: #ffe4e1; }"));
}
