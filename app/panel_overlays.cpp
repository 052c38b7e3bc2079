#include "panel_overlays.h"

#include "CGLView.h"
#include "c_locale.h"
#include "pixel_space.h"
#include "scene.h"
#include "shared_constants.h"
#include "transfer_function.h"
#include "volume.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

const double curve_span = panel_curve_span; // world units from curve position 0 to 1

// The panel's viewport in pixels and half the visible width and height of the curve's plane
// in world units; false for an empty viewport.
struct PanelFrame {
    int width = 0;
    int height = 0;
    double half_w = 0.0;
    double half_h = 0.0;

    bool read(const TransferFunction& curve) {
        GLint v[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, v);
        width = v[2];
        height = v[3];
        half_h = std::fabs(curve.camera.distance()) * std::tan(field_of_view / 2.0);
        half_w = height > 0 ? half_h * width / height : 0.0;
        return width > 0 && height > 0;
    }
};

} // namespace

QImage label_image(const QString& text) {
    QFont font;
    font.setPixelSize(10);
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 2, metrics.height(), QImage::Format_RGBA8888);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(200, 200, 200));
    painter.drawText(1, metrics.ascent(), text);
    painter.end();
    return image.mirrored(false, true);
}

void PanelHistogram::draw() {
    PanelFrame frame;
    if (!volume || !low_end || !range || !curve || !frame.read(*curve))
        return;
    const int width = frame.width, height = frame.height;
    const double half_w = frame.half_w;
    // Curve positions of the left and right edges, then the values there.
    const double first = *low_end + (0.5 - half_w / curve_span) * *range;
    const double last = *low_end + (0.5 + half_w / curve_span) * *range;
    if (!key_valid_ || first != key_first_ || last != key_last_ || width != key_bins_) {
        count_values(*volume, first, last, width, histogram_);
        key_valid_ = true;
        key_first_ = first;
        key_last_ = last;
        key_bins_ = width;
    }
    if (histogram_.total <= 0)
        return;

    PixelSpace pixels(width, height);
    const double top = 0.9 * height;
    const double scale = histogram_.largest > 0 ? top / std::log1p(histogram_.largest) : 0.0;
    glColor3f(0.22f, 0.22f, 0.22f);
    glBegin(GL_QUADS);
    for (int c = 0; c < width; ++c) {
        const std::int64_t n = histogram_.counts[c];
        if (n == 0)
            continue;
        const double h = std::log1p(static_cast<double>(n)) * scale;
        glVertex2d(c, 0.0);
        glVertex2d(c + 1, 0.0);
        glVertex2d(c + 1, h);
        glVertex2d(c, h);
    }
    glEnd();
    const double total = static_cast<double>(histogram_.total);
    draw_share(histogram_.below / total, width, height, false);
    draw_share(histogram_.above / total, width, height, true);
}

void PanelHistogram::draw_share(double share, int width, int height, bool right_edge) {
    if (share <= 0.0)
        return;
    const double percent = share * 100.0;
    const std::string number = percent < 0.1  ? std::string("<0.1")
                               : percent < 10 ? format_c("%.1f", percent)
                                              : format_c("%.0f", percent);
    const QString text = right_edge ? QString::fromStdString(number) + QStringLiteral("% \u25b8")
                                    : QStringLiteral("\u25c2 ") + QString::fromStdString(number) +
                                          QStringLiteral("%");
    const int side = right_edge ? 1 : 0;
    if (label_image_[side].isNull() || label_text_[side] != text) {
        label_text_[side] = text;
        label_image_[side] = label_image(text);
    }
    const QImage& image = label_image_[side];
    const int x = right_edge ? std::max(0, width - image.width() - 2) : 2;
    const int y = std::max(0, height - image.height() - 2);
    glRasterPos2i(x, y);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glDrawPixels(image.width(), image.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.constBits());
}

void PanelHistogram::add_frame_inputs(FrameInputs& inputs) const {
    inputs.add(volume);
    inputs.add(revision_);
    if (volume) {
        inputs.add(volume->samples);
        inputs.add(volume->sample_count());
    }
    inputs.add(low_end ? *low_end : 0.0);
    inputs.add(range ? *range : 0.0);
    inputs.add(curve);
}

void PointHandles::add_frame_inputs(FrameInputs& inputs) const {
    inputs.add(curve);
    if (!curve)
        return;
    inputs.add(curve->count);
    for (int i = 0; i < curve->count; ++i) {
        inputs.add(curve->x[i]);
        inputs.add(curve->y[i]);
    }
    inputs.add(curve->colour.r);
    inputs.add(curve->colour.g);
    inputs.add(curve->colour.b);
    inputs.add(curve->vertical_scale);
    inputs.add(curve->camera);
}

void PointHandles::draw() {
    PanelFrame frame;
    if (!curve || !frame.read(*curve))
        return;
    const int width = frame.width, height = frame.height;
    const double half_w = frame.half_w, half_h = frame.half_h;
    PixelSpace pixels(width, height);
    const double r = 2.5;    // half the side of a handle
    const double edge = 5.0; // how far inside the border an edge mark sits
    for (int i = 0; i < curve->count; ++i) {
        const double wy = (curve->x[i] - 0.5) * curve_span;
        const double wz = (curve->y[i] - 0.5) * curve->vertical_scale * curve_span;
        const double px = (wy / half_w + 1.0) * 0.5 * width;
        const double py = (wz / half_h + 1.0) * 0.5 * height;
        if (!std::isfinite(px) || !std::isfinite(py))
            continue;
        const double cx = std::clamp(px, edge, width - edge);
        const double cy = std::clamp(py, edge, height - edge);
        if (cx == px && cy == py) {
            glColor3f(0.0f, 0.0f, 0.0f);
            glRectd(px - r - 1.0, py - r - 1.0, px + r + 1.0, py + r + 1.0);
            glColor3d(curve->colour.r, curve->colour.g, curve->colour.b);
            glRectd(px - r, py - r, px + r, py + r);
            continue;
        }
        // A triangle at the edge whose tip points towards the hidden point.
        const double dx = px - cx, dy = py - cy;
        const double len = std::hypot(dx, dy);
        const double ux = dx / len, uy = dy / len;
        glColor3d(curve->colour.r, curve->colour.g, curve->colour.b);
        glBegin(GL_TRIANGLES);
        glVertex2d(cx + ux * 4.0, cy + uy * 4.0);
        glVertex2d(cx - ux * 3.0 - uy * 4.0, cy - uy * 3.0 + ux * 4.0);
        glVertex2d(cx - ux * 3.0 + uy * 4.0, cy - uy * 3.0 - ux * 4.0);
        glEnd();
    }
}

void PanelOverlays::wire(Scene& scene, CGLView* const (&panels)[4], bool show_histograms,
                         bool show_handles) {
    for (int i = 0; i < 4; ++i) {
        histograms[i].volume = &scene.data_volume;
        histograms[i].low_end = &scene.low_end;
        histograms[i].range = &scene.range;
        histograms[i].curve = &scene.curves[i];
        handles[i].curve = &scene.curves[i];
        std::vector<Drawable*>& list = panels[i]->draw_list;
        list.clear();
        if (show_histograms)
            list.push_back(&histograms[i]);
        list.push_back(&scene.curves[i]);
        if (show_handles)
            list.push_back(&handles[i]);
        panels[i]->repaint();
    }
}

void PanelOverlays::data_replaced() {
    for (PanelHistogram& histogram : histograms)
        histogram.invalidate();
}
