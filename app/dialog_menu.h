#pragma once

#include "classify.h"
#include "splat_renderer.h"
#include "volume.h"

#include <QObject>

class CVolumeDialog;
class QAction;
class QMenu;
class QUndoStack;

// The context menu on the dialog's free area, which stands for the system menu, and the
// commands' shortcuts. The items, in order: Open File, Save Image; Undo, Redo, Fit Range to
// Data; Fit View, Reset View, Missing Data, Path Integration, Axis Scale, Turntable Rotation;
// Fast Interaction, Drawing, Show Histograms, Show Point Handles, Show Value Under Pointer;
// Close; About; Save Curves, Load Curves, Colour Presets, Opacity Presets, Help. Each shortcut
// is on the
// dialog as well, so it works wherever the focus is (an edit field keeps the keys it edits
// with: Ctrl+Z there undoes typing).
class DialogMenu : public QObject {
    Q_OBJECT
public:
    DialogMenu() = default;

    // Builds the menu once, its items calling the dialog's commands.
    void build(CVolumeDialog& dialog, QUndoStack& undo);

    QMenu* menu() const { return menu_; }
    QAction* missing_data_item(MissingData missing) const {
        return missing_items_[static_cast<int>(missing)];
    }
    QAction* integration_item(PathIntegration integration) const {
        return integration_items_[integration == PathIntegration::exact ? 0 : 1];
    }
    void show_integration(PathIntegration integration);
    QAction* fast_interaction_item() const { return fast_interaction_; }
    QAction* drawing_item(SplatDrawing drawing) const {
        return drawing_items_[static_cast<int>(drawing)];
    }
    QAction* turntable_item() const { return turntable_; }
    void show_turntable(bool on);
    QAction* legend_item() const { return legend_; }
    QAction* axes_item() const { return axes_; }
    QAction* show_histograms_item() const { return show_histograms_; }
    QAction* show_handles_item() const { return show_handles_; }
    bool histograms_shown() const;
    bool handles_shown() const;
    QAction* show_probe_item() const { return show_probe_; }
    bool probe_shown() const;
    // Checks the item of `missing` (after an undo, say) without running its command.
    void show_missing_data(MissingData missing);
    void show_fast_interaction(bool on);
    void show_drawing(SplatDrawing drawing);

private:
    QMenu* menu_ = nullptr;
    QAction* fast_interaction_ = nullptr;
    QAction* turntable_ = nullptr;
    QAction* legend_ = nullptr;
    QAction* axes_ = nullptr;
    QAction* show_histograms_ = nullptr;
    QAction* show_handles_ = nullptr;
    QAction* show_probe_ = nullptr;
    QAction* missing_items_[3] = {nullptr, nullptr, nullptr}; // grey, faint, hidden
    QAction* drawing_items_[3] = {nullptr, nullptr, nullptr}; // immediate, arrays, shaders
    QAction* integration_items_[2] = {nullptr, nullptr};      // exact, forward
};
