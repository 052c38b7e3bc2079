#pragma once

// Receives a view's mouse movement. `flags` are the key-state bits (1 left button, 2 right,
// 4 shift, 8 control, 0x10 middle); x runs 0..1 from the left edge, y 0..1 from the top edge.
// The view ignores the result. Never deleted through this interface.
class MouseListener {
public:
    virtual bool on_mouse(int flags, double x, double y) = 0;

protected:
    MouseListener() = default;
    MouseListener(const MouseListener&) = default;
    MouseListener& operator=(const MouseListener&) = default;
    ~MouseListener() = default;
};
