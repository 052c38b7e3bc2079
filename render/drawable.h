#pragma once

// Something a view draws each frame: issues GL commands into the current context. Views hold
// non-owning pointers and never delete through this interface, hence no virtual destructor.
class Drawable {
public:
    virtual void draw() = 0;

protected:
    Drawable() = default;
    Drawable(const Drawable&) = default;
    Drawable& operator=(const Drawable&) = default;
    ~Drawable() = default;
};
