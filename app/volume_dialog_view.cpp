// The commands of the context menu beyond the curves file, with their shortcuts, and what the
// dialog adds to the panels: the histograms behind the curves and the point handles.
#include "volume_dialog.h"

#include "camera_fit.h"
#include "dialog_prompts.h"
#include "edit_number.h"
#include "output_file.h"

#include <QBuffer>
#include <QImage>
#include <QMenu>

#include <cstdlib>

QAction* CVolumeDialog::add_command(const QString& text, const QList<QKeySequence>& keys,
                                    void (CVolumeDialog::*handler)()) {
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    // On the dialog as well as in the menu, so the shortcut works wherever the focus is; an
    // edit field still takes the keys it edits with (Ctrl+Z there undoes typing).
    addAction(action);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void CVolumeDialog::add_view_commands() {
    QList<QAction*> items;
    const auto separator = [&] {
        auto* line = new QAction(this);
        line->setSeparator(true);
        items.push_back(line);
    };
    items.push_back(add_command(tr("&Open File..."), {QKeySequence(Qt::CTRL | Qt::Key_O)},
                                &CVolumeDialog::on_open_file));
    items.push_back(add_command(tr("&Save Image..."), {QKeySequence(Qt::CTRL | Qt::Key_S)},
                                &CVolumeDialog::on_save_image));
    separator();
    QAction* undo = add_command(tr("&Undo"), {QKeySequence(Qt::CTRL | Qt::Key_Z)},
                                &CVolumeDialog::on_undo);
    QAction* redo = add_command(
        tr("&Redo"),
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
        &CVolumeDialog::on_redo);
    undo->setEnabled(false);
    redo->setEnabled(false);
    connect(&undo_stack_, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    connect(&undo_stack_, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
    items << undo << redo;
    items.push_back(add_command(tr("Fit &Range to Data"), {QKeySequence(Qt::CTRL | Qt::Key_R)},
                                &CVolumeDialog::on_fit_range));
    separator();
    items.push_back(add_command(tr("&Fit View"), {QKeySequence(Qt::CTRL | Qt::Key_F)},
                                &CVolumeDialog::on_fit_view));
    items.push_back(add_command(tr("Reset &View"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
                                &CVolumeDialog::on_reset_view));
    items << grid_commands();
    separator();
    show_histograms_ = new QAction(tr("Show &Histograms"), this);
    show_handles_ = new QAction(tr("Show Point Ha&ndles"), this);
    for (QAction* toggle : {show_histograms_, show_handles_}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
        connect(toggle, &QAction::toggled, this, &CVolumeDialog::wire_overlays);
        items.push_back(toggle);
    }
    separator();
    QAction* first = system_menu_->actions().value(0, nullptr);
    system_menu_->insertActions(first, items);
    undo_stack_.setUndoLimit(1000);
}

// Each panel draws its histogram, then its curve, then the handles; with both items off, the
// curve alone.
void CVolumeDialog::wire_overlays() {
    TransferFunction* curves[4] = {&red_curve, &green_curve, &blue_curve, &opacity_curve};
    CGLView* panels[4] = {&red_panel, &green_panel, &blue_panel, &opacity_panel};
    for (int i = 0; i < 4; ++i) {
        histograms[i].volume = &data_volume;
        histograms[i].low_end = &low_end;
        histograms[i].range = &range;
        histograms[i].curve = curves[i];
        handles[i].curve = curves[i];
        std::vector<Drawable*>& list = panels[i]->draw_list;
        list.clear();
        if (show_histograms_ && show_histograms_->isChecked())
            list.push_back(&histograms[i]);
        list.push_back(curves[i]);
        if (show_handles_ && show_handles_->isChecked())
            list.push_back(&handles[i]);
        panels[i]->installEventFilter(this);
        panels[i]->repaint();
    }
    main_view.installEventFilter(this);
}

// The histograms follow the low end and the range as they are typed, and a new grid.
void CVolumeDialog::panels_follow_range() {
    if (show_histograms_ && show_histograms_->isChecked())
        for (CGLView* panel : {&red_panel, &green_panel, &blue_panel, &opacity_panel})
            panel->refresh(); // drawn only where the histogram's inputs changed
}

void CVolumeDialog::repaint_panels() {
    for (CGLView* panel : {&red_panel, &green_panel, &blue_panel, &opacity_panel})
        panel->repaint();
}

void CVolumeDialog::on_fit_range() {
    const Volume& d = data_volume;
    if (d.sample_count() <= 0 || d.stat_count <= 0)
        return;
    const CurveState before = curve_state();
    // A constant field has no span: a range of 1 keeps the classification defined.
    const double span = d.stat_max > d.stat_min ? d.stat_max - d.stat_min : 1.0;
    // The samples are float32: shown as floats, "3.002" rather than "3.002000093460083".
    set_window_text(low_end_edit,
                    QString::fromStdString(format_shortest_float(static_cast<float>(d.stat_min))));
    set_window_text(range_edit,
                    QString::fromStdString(format_shortest_float(static_cast<float>(span))));
    repaint_panels();
    apply_transfer_function();
    push_curve_step(before, tr("Fit Range to Data"));
}

void CVolumeDialog::on_fit_view() {
    const int extents[3] = {colour_volume.nx, colour_volume.ny, colour_volume.nz};
    if (static_cast<std::int64_t>(extents[0]) * extents[1] * extents[2] <= 0)
        return;
    Camera& camera = view_controller.camera;
    const double aspect = static_cast<double>(main_view.width()) / std::max(1, main_view.height());
    const double distance = fit_distance(camera, extents, aspect, splat_renderer.axis_scale);
    camera.eye_offset.x = camera.distance() < 0.0 ? -distance : distance;
    main_view.repaint();
}

void CVolumeDialog::on_reset_view() {
    Camera& camera = view_controller.camera;
    camera.orientation.set_identity();
    camera.set_distance(750.0);
    // A stretched grid may not fit at the start-up distance: then as far as it needs.
    const Vec3& s = splat_renderer.axis_scale;
    if (s.x != 1.0 || s.y != 1.0 || s.z != 1.0) {
        const int extents[3] = {colour_volume.nx, colour_volume.ny, colour_volume.nz};
        const double aspect =
            static_cast<double>(main_view.width()) / std::max(1, main_view.height());
        camera.set_distance(std::max(750.0, fit_distance(camera, extents, aspect, s)));
    }
    main_view.repaint();
}

void CVolumeDialog::zoom_notches(int notches) {
    Camera& camera = view_controller.camera;
    const double dy = notches > 0 ? -0.1 : 0.1; // an upward drag brings the eye nearer
    for (int i = 0; i < std::abs(notches); ++i)
        camera.add_distance((camera.distance() + 1.0) * dy);
    // Turning the wheel is an interaction: a coarse frame where a full one would be slow.
    main_view.repaint_interactive();
    wheel_rest_.start();
}

void CVolumeDialog::on_save_image() {
    std::string path;
    if (prompts_->ask_file(FileQuestion::save_image, "halvorn.png", path))
        save_image_file(path);
}

bool CVolumeDialog::save_image_file(const std::string& path) {
    const QImage frame = main_view.grabFramebuffer();
    QByteArray png;
    QBuffer buffer(&png);
    const bool ok = !frame.isNull() && buffer.open(QIODevice::WriteOnly) &&
                    frame.convertToFormat(QImage::Format_RGB888).save(&buffer, "PNG") &&
                    write_whole_file(path, loaded_grid_path_, png.constData(),
                                     static_cast<std::size_t>(png.size()));
    if (!ok)
        prompts_->show_message("Cannot write the image to " + path);
    return ok;
}
