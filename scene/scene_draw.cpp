// The main view drawn without a window, for the batch tool and the tests.
#include "scene.h"

#include "headless_view.h"

bool Scene::draw_image(int width, int height, std::vector<unsigned char>& rgba,
                       std::string& error) {
    HeadlessView view;
    if (!view.open(width, height)) {
        error = "cannot draw without a window: " + view.error();
        return false;
    }
    attach_main_view(view);
    if (!view.repaint() || !view.read_pixels(rgba)) {
        error = "the frame could not be drawn";
        return false;
    }
    return true;
}
