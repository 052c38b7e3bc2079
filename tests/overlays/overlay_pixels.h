#pragma once

#include "scene.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A frame of a scene's main view, read back as a person sees it: pixel (x, y) counted from the
// lower left corner, as the overlays lay themselves out.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // top row first, as Scene::draw_image gives it

    const unsigned char* at(int x, int y) const {
        return rgba.data() + (static_cast<std::size_t>(height - 1 - y) * width + x) * 4;
    }
};

inline Frame draw_frame(Scene& scene, int width, int height) {
    Frame f{width, height, {}};
    std::string error;
    EXPECT_TRUE(scene.draw_image(width, height, f.rgba, error)) << error;
    f.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    return f;
}
