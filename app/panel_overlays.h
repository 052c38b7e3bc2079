#pragma once

#include "drawable.h"
#include "frame_inputs.h"
#include "value_histogram.h"

#include <QImage>
#include <QString>

class CGLView;
class Scene;
class TransferFunction;
class Volume;

// What a curve panel draws besides its curve: behind it, the distribution of the data over
// the panel's horizontal axis; in front of it, a handle on every control point. Both draw in
// the panel's pixels and leave the GL state as they found it, and name their inputs, so that a
// panel whose curve, range and data are unchanged presents its last frame again.

// One bin per pixel column, counts on a logarithmic scale, in a dim grey; the share of the
// valid samples that lie left and right of the panel is written at those edges. Draws nothing
// without data or for an empty value range.
class PanelHistogram : public Drawable, public FrameSource {
public:
    void draw() override;
    void add_frame_inputs(FrameInputs& inputs) const override;
    // The data changed: count again at the next draw.
    void invalidate() {
        key_valid_ = false;
        ++revision_;
    }

    const Volume* volume = nullptr;          // not owned
    const double* low_end = nullptr;         // the value at curve position 0
    const double* range = nullptr;           // the value span of curve positions 0 to 1
    const TransferFunction* curve = nullptr; // the panel's frame: its camera distance

private:
    void draw_share(double share, int width, int height, bool right_edge);

    ValueHistogram histogram_;
    std::int64_t revision_ = 0;
    QString label_text_[2]; // the last label at the left and the right edge, and its image
    QImage label_image_[2];
    bool key_valid_ = false;
    double key_first_ = 0.0, key_last_ = 0.0;
    int key_bins_ = 0;
};

// A small square on every control point in the curve's colour; a point outside the panel's
// visible area is marked by a triangle at the nearest edge, pointing towards it.
class PointHandles : public Drawable, public FrameSource {
public:
    void draw() override;
    // The curve's points; the curve names them too, as it is drawn in the same panel.
    void add_frame_inputs(FrameInputs& inputs) const override;

    const TransferFunction* curve = nullptr; // not owned
};

// The four panels' overlays: each panel draws its histogram (when shown), then its curve, then
// its handles (when shown); with both off, the curve alone.
class PanelOverlays {
public:
    // (Re)builds the panels' draw lists and repaints them.
    void wire(Scene& scene, CGLView* const (&panels)[4], bool histograms, bool handles);
    // A new grid: the histograms count again.
    void data_replaced();

    PanelHistogram histograms[4]; // red, green, blue, opacity
    PointHandles handles[4];
};

// Text rendered for drawing with glDrawPixels: light grey on a transparent background,
// rows bottom up.
QImage label_image(const QString& text);
