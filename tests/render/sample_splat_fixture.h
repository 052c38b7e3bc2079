#pragma once

#include "render_fixtures.h"
#include "splat_renderer.h"
#include "view_controller.h"

#include <gtest/gtest.h>

#include <cstdio>

// The sample's colours (from its temperatures) in a 306 x 188 headless view, lit as the main
// view is and seen from distance 160 at tilt 0.5 and turn 0.7: the scene the drawing paths are
// compared on. The sample is imported once for all suites that use it.
class SampleSplatFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (loaded)
            return;
        std::string error;
        loaded = load_sample(data, colour_sized, error);
        if (loaded)
            colour_from_temperature(data, colour);
        else
            std::fprintf(stderr, "sample not loaded: %s\n", error.c_str());
    }

    void SetUp() override {
        ASSERT_TRUE(loaded);
        ASSERT_TRUE(view.open(306, 188)) << view.error();
        controller.lighting_enabled = true;
        look(160, 0.5, 0.7);
        renderer.camera = &controller.camera;
        renderer.step_x = renderer.step_y = renderer.step_z = 1;
    }

    void look(double distance, double tilt, double turn) {
        controller.camera = Camera();
        controller.camera.set_distance(distance);
        controller.camera.rotate_left(Mat3::axis_rotation(1, tilt));
        controller.camera.rotate_right(Mat3::axis_rotation(0, turn));
    }

    static inline Volume data, colour_sized, colour;
    static inline bool loaded = false;
    HeadlessView view;
    ViewController controller;
    SplatRenderer renderer;
};
