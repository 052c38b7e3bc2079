#pragma once

#include "mouse_listener.h"

#include <functional>

// The main view's mouse listener: every movement goes on to the camera's controller as before,
// and a movement with no button held is also reported to `hover` (to read the value under the
// pointer), which draws nothing.
class HoverProbe : public MouseListener {
public:
    HoverProbe(MouseListener& controller, std::function<void(double x, double y)> hover)
        : controller_(controller), hover_(std::move(hover)) {}

    bool on_mouse(int flags, double x, double y) override {
        if ((flags & (0x01 | 0x02 | 0x10)) == 0 && hover_)
            hover_(x, y);
        return controller_.on_mouse(flags, x, y);
    }

private:
    MouseListener& controller_;
    std::function<void(double, double)> hover_;
};
