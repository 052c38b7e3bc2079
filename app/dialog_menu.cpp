#include "dialog_menu.h"

#include "curve_presets.h"
#include "strings.h"
#include "volume_dialog.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QUndoStack>

namespace {

constexpr unsigned sc_about = 0x0010;
constexpr unsigned sc_close = 0xF060;

} // namespace

void DialogMenu::build(CVolumeDialog& dialog, QUndoStack& undo) {
    if (menu_)
        return;
    menu_ = new QMenu(&dialog);
    QMenu& m = *menu_;
    // A command with its keys, on the dialog as well as in the menu.
    const auto command = [&](const QString& text, const QList<QKeySequence>& keys,
                             void (CVolumeDialog::*handler)()) {
        QAction* action = m.addAction(text);
        action->setShortcuts(keys);
        dialog.addAction(action);
        connect(action, &QAction::triggered, &dialog, handler);
        return action;
    };
    const auto toggle = [&](const QString& text, bool on) {
        QAction* action = m.addAction(text);
        action->setCheckable(true);
        action->setChecked(on);
        return action;
    };

    command(tr("&Open File..."), {QKeySequence(Qt::CTRL | Qt::Key_O)},
            &CVolumeDialog::on_open_file);
    command(tr("&Save Image..."), {QKeySequence(Qt::CTRL | Qt::Key_S)},
            &CVolumeDialog::on_save_image);
    m.addSeparator();
    QAction* undo_item =
        command(tr("&Undo"), {QKeySequence(Qt::CTRL | Qt::Key_Z)}, &CVolumeDialog::on_undo);
    QAction* redo_item = command(
        tr("&Redo"),
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
        &CVolumeDialog::on_redo);
    undo_item->setEnabled(undo.canUndo());
    redo_item->setEnabled(undo.canRedo());
    connect(&undo, &QUndoStack::canUndoChanged, undo_item, &QAction::setEnabled);
    connect(&undo, &QUndoStack::canRedoChanged, redo_item, &QAction::setEnabled);
    command(tr("Fit &Range to Data"), {QKeySequence(Qt::CTRL | Qt::Key_R)},
            &CVolumeDialog::on_fit_range);
    m.addSeparator();
    command(tr("&Fit View"), {QKeySequence(Qt::CTRL | Qt::Key_F)}, &CVolumeDialog::on_fit_view);
    command(tr("Reset &View"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, &CVolumeDialog::on_reset_view);
    QMenu* view_from = m.addMenu(tr("View F&rom"));
    for (int axis = 0; axis < 3; ++axis)
        for (const bool positive : {true, false}) {
            const QString text = QString(positive ? "+" : "-") + QChar('x' + axis);
            connect(view_from->addAction(text), &QAction::triggered, &dialog,
                    [&dialog, axis, positive] { dialog.view_from(axis, positive); });
        }

    QMenu* missing = m.addMenu(tr("&Missing Data"));
    auto* group = new QActionGroup(missing);
    const struct {
        const char* text;
        MissingData missing;
    } choices[] = {{"&Grey", MissingData::grey},
                   {"&Faint", MissingData::faint},
                   {"&Hidden", MissingData::hidden}};
    for (const auto& choice : choices) {
        QAction* item = missing->addAction(tr(choice.text));
        item->setCheckable(true);
        item->setChecked(choice.missing == dialog.scene().missing_data);
        group->addAction(item);
        connect(item, &QAction::triggered, &dialog,
                [&dialog, which = choice.missing] { dialog.set_missing_data(which); });
        missing_items_[static_cast<int>(choice.missing)] = item;
    }
    QMenu* integration = m.addMenu(tr("&Path Integration"));
    auto* integrations = new QActionGroup(integration);
    const struct {
        const char* text;
        PathIntegration integration;
    } ways[] = {{"&Exact", PathIntegration::exact}, {"&Forward Only", PathIntegration::forward}};
    for (const auto& way : ways) {
        QAction* item = integration->addAction(tr(way.text));
        item->setCheckable(true);
        item->setChecked(way.integration == dialog.scene().integration);
        integrations->addAction(item);
        connect(item, &QAction::triggered, &dialog,
                [&dialog, which = way.integration] { dialog.set_integration(which); });
        integration_items_[way.integration == PathIntegration::exact ? 0 : 1] = item;
    }
    connect(m.addAction(tr("&Axis Scale...")), &QAction::triggered, &dialog,
            &CVolumeDialog::on_axis_scale);
    turntable_ = toggle(tr("&Turntable Rotation"), dialog.scene().turntable());
    connect(turntable_, &QAction::toggled, &dialog, &CVolumeDialog::set_turntable);
    legend_ = toggle(tr("Show &Legend"), dialog.scene().legend.shown);
    connect(legend_, &QAction::toggled, &dialog, &CVolumeDialog::show_legend);
    axes_ = toggle(tr("Show A&xes"), dialog.scene().axes.shown);
    connect(axes_, &QAction::toggled, &dialog, &CVolumeDialog::show_axes);
    command(tr("&Components..."), {QKeySequence(Qt::CTRL | Qt::Key_T)},
            &CVolumeDialog::on_components);
    m.addSeparator();

    fast_interaction_ = toggle(tr("Fast &Interaction"), dialog.fast_interaction());
    connect(fast_interaction_, &QAction::toggled, &dialog, &CVolumeDialog::set_fast_interaction);
    QMenu* drawing = m.addMenu(tr("&Drawing"));
    auto* drawings = new QActionGroup(drawing);
    const struct {
        const char* text;
        SplatDrawing drawing;
    } drawing_ways[] = {{"&Immediate", SplatDrawing::immediate},
                        {"&Arrays", SplatDrawing::arrays},
                        {"&Shaders", SplatDrawing::shaders}};
    for (const auto& way : drawing_ways) {
        QAction* item = drawing->addAction(tr(way.text));
        item->setCheckable(true);
        item->setChecked(way.drawing == dialog.drawing());
        drawings->addAction(item);
        connect(item, &QAction::triggered, &dialog,
                [&dialog, which = way.drawing] { dialog.set_drawing(which); });
        drawing_items_[static_cast<int>(way.drawing)] = item;
    }
    show_histograms_ = toggle(tr("Show &Histograms"), true);
    show_handles_ = toggle(tr("Show Point Ha&ndles"), true);
    for (QAction* item : {show_histograms_, show_handles_})
        connect(item, &QAction::toggled, &dialog, &CVolumeDialog::show_overlays);
    // The text area names the grid point under the pointer while it moves over the main view.
    show_probe_ = toggle(tr("Show &Value Under Pointer"), true);
    connect(show_probe_, &QAction::toggled, &dialog, [&dialog](bool on) {
        if (!on)
            dialog.on_pointer_over(-1.0, -1.0);
    });
    m.addSeparator();

    connect(m.addAction(tr("&Close")), &QAction::triggered, &dialog,
            [&dialog] { dialog.OnSysCommand(sc_close); });
    const char* about_item = load_string(ids_about_item);
    if (about_item[0] != '\0') {
        m.addSeparator();
        connect(m.addAction(tr(about_item)), &QAction::triggered, &dialog,
                [&dialog] { dialog.OnSysCommand(sc_about); });
    }
    m.addSeparator();
    connect(m.addAction(tr("&Save Curves...")), &QAction::triggered, &dialog,
            &CVolumeDialog::on_save_curves);
    connect(m.addAction(tr("&Load Curves...")), &QAction::triggered, &dialog,
            &CVolumeDialog::on_load_curves);
    // The presets, colour and opacity in a submenu each; every item is one undo step.
    for (const bool colour : {true, false}) {
        QMenu* presets = m.addMenu(colour ? tr("Colour &Presets") : tr("Opacit&y Presets"));
        for (const CurvePreset& preset : curve_presets()) {
            if (preset.colour != colour)
                continue;
            PresetChoice choice;
            (colour ? choice.colour : choice.opacity) = &preset;
            connect(presets->addAction(tr(preset.title)), &QAction::triggered, &dialog,
                    [&dialog, choice] { dialog.apply_preset(choice); });
        }
    }
    connect(m.addAction(tr("&Help\tF1")), &QAction::triggered, &dialog, &CVolumeDialog::OnHelp);
}

bool DialogMenu::histograms_shown() const {
    return show_histograms_ && show_histograms_->isChecked();
}

bool DialogMenu::probe_shown() const {
    return show_probe_ && show_probe_->isChecked();
}

bool DialogMenu::handles_shown() const {
    return show_handles_ && show_handles_->isChecked();
}

void DialogMenu::show_missing_data(MissingData missing) {
    if (QAction* item = missing_data_item(missing))
        item->setChecked(true);
}

void DialogMenu::show_drawing(SplatDrawing drawing) {
    if (QAction* item = drawing_item(drawing))
        item->setChecked(true);
}

void DialogMenu::show_fast_interaction(bool on) {
    if (fast_interaction_ && fast_interaction_->isChecked() != on)
        fast_interaction_->setChecked(on);
}

void DialogMenu::show_turntable(bool on) {
    if (turntable_ && turntable_->isChecked() != on)
        turntable_->setChecked(on);
}

void DialogMenu::show_integration(PathIntegration integration) {
    if (QAction* item = integration_item(integration))
        item->setChecked(true);
}
