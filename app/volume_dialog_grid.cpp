// Commands for real grids: how missing data is drawn, and the axis scale that stretches a flat
// grid.
#include "volume_dialog.h"

#include "c_locale.h"
#include "dialog_prompts.h"

#include <QActionGroup>
#include <QMenu>

QList<QAction*> CVolumeDialog::grid_commands() {
    auto* menu = new QMenu(tr("&Missing Data"), this);
    auto* group = new QActionGroup(this);
    const struct {
        const char* text;
        MissingData missing;
    } choices[] = {{"&Grey", MissingData::grey},
                   {"&Faint", MissingData::faint},
                   {"&Hidden", MissingData::hidden}};
    for (const auto& choice : choices) {
        QAction* item = menu->addAction(tr(choice.text));
        item->setCheckable(true);
        item->setChecked(choice.missing == missing_data);
        group->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, missing = choice.missing] { set_missing_data(missing); });
        missing_items_[static_cast<int>(choice.missing)] = item;
    }
    auto* scale = new QAction(tr("&Axis Scale..."), this);
    connect(scale, &QAction::triggered, this, &CVolumeDialog::on_axis_scale);
    return {menu->menuAction(), scale};
}

QAction* CVolumeDialog::missing_data_item(MissingData missing) const {
    return missing_items_[static_cast<int>(missing)];
}

void CVolumeDialog::show_missing_data(MissingData missing) {
    missing_data = missing;
    if (QAction* item = missing_data_item(missing))
        item->setChecked(true);
}

void CVolumeDialog::set_missing_data(MissingData missing) {
    const CurveState before = curve_state();
    show_missing_data(missing);
    push_curve_step(before, tr("Missing Data"));
    if (realtime_check.isChecked())
        apply_transfer_function();
}

void CVolumeDialog::on_axis_scale() {
    const Vec3& s = splat_renderer.axis_scale;
    std::string text = format_c("%g,%g,%g", s.x, s.y, s.z);
    while (prompts_->ask_text("Axis Scale", "Stretch the grid along x, y and z (SX,SY,SZ):",
                              text)) {
        Vec3 scale;
        if (parse_c_axis_scale(text, scale.x, scale.y, scale.z)) {
            set_axis_scale(scale);
            return;
        }
        prompts_->show_message("The axis scale needs three numbers above 0, such as 1,1,20.");
    }
}

void CVolumeDialog::set_axis_scale(const Vec3& scale) {
    splat_renderer.axis_scale = scale;
    main_view.repaint();
}
