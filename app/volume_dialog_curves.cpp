// "Save Curves...", "Load Curves..." and the help page.
#include "volume_dialog.h"

#include "curves_file.h"
#include "dialog_prompts.h"
#include "edit_number.h"
#include "strings.h"

void CVolumeDialog::on_save_curves() {
    std::string path;
    if (!prompts_->ask_file(FileQuestion::save_curves, "curves.json", path))
        return;
    save_curves_file(path);
}

bool CVolumeDialog::save_curves_file(const std::string& path) {
    CurvesFile file;
    const TransferFunction* curves[4] = {&red_curve, &green_curve, &blue_curve, &opacity_curve};
    for (int i = 0; i < 4; ++i)
        file.curves[i] = curve_points(*curves[i]);
    file.has_low = true;
    file.low = low_end;
    file.has_range = true;
    file.range = range;
    std::string error;
    if (!write_curves_file(path, file, error)) {
        prompts_->show_message(error);
        return false;
    }
    return true;
}

void CVolumeDialog::on_load_curves() {
    std::string path;
    if (!prompts_->ask_file(FileQuestion::open_curves, std::string(), path))
        return;
    const CurveState before = curve_state();
    if (load_curves_file(path))
        push_curve_step(before, tr("Load Curves"));
}

bool CVolumeDialog::load_curves_file(const std::string& path) {
    CurvesFile file;
    std::string error;
    if (!read_curves_file(path, file, error)) {
        prompts_->show_message(error); // a refused file changes nothing
        return false;
    }
    TransferFunction* curves[4] = {&red_curve, &green_curve, &blue_curve, &opacity_curve};
    CGLView* panels[4] = {&red_panel, &green_panel, &blue_panel, &opacity_panel};
    for (int i = 0; i < 4; ++i) {
        set_curve_points(*curves[i], file.curves[i]);
        // Built now, so that a classification sees the loaded curves even before the panels
        // have painted.
        curves[i]->update_segments();
    }
    // Through the edits, so that their handlers set the members and move the sliders.
    if (file.has_low)
        set_window_text(low_end_edit, QString::fromStdString(format_shortest_double(file.low)));
    if (file.has_range)
        set_window_text(range_edit, QString::fromStdString(format_shortest_double(file.range)));
    for (CGLView* panel : panels)
        panel->repaint();
    if (realtime_check.isChecked())
        apply_transfer_function();
    return true;
}

void CVolumeDialog::OnHelp() {
    prompts_->show_help(load_string(ids_help_title), load_string(ids_help_text));
}
