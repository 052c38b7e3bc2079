#include "volume_dialog.h"

// The scene is wired once the views, the curves and the renderer exist.
void CVolumeDialog::wire_scene() {}

void CVolumeDialog::sync_sliders_from_renderer() {}

void CVolumeDialog::apply_sliders_to_renderer() {}

void CVolumeDialog::on_slider_released() {
    apply_sliders_to_renderer();
}

void CVolumeDialog::on_set_transfer_func() {}
