#pragma once

#include <string>
#include <vector>

// A line of text as pixels, for the main view's overlays: RGBA bytes, rows from the bottom up
// (as glDrawPixels takes them), the text light on a transparent ground.
struct LabelImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;
    bool empty() const { return width <= 0 || height <= 0; }
};

// Turns text into a LabelImage. The scene has no toolkit: a program that wants words in its
// overlays gives it one (scene/qt has the Qt one); without one the overlays draw no text.
class LabelMaker {
public:
    // `colour` is the text's red, green and blue, 0 to 255.
    virtual LabelImage make(const std::string& text, const unsigned char (&colour)[3]) const = 0;

protected:
    LabelMaker() = default;
    ~LabelMaker() = default;
};
