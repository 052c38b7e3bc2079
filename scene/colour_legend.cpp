#include "colour_legend.h"

#include "label_maker.h"
#include "nice_ticks.h"
#include "pixel_space.h"
#include "scene.h"

#include <algorithm>
#include <cmath>

LegendLayout LegendLayout::for_view(int width, int height) {
    LegendLayout l;
    // Room for the tick labels at the left and the units above.
    const int label_room = 60, units_room = 20;
    l.bar_height =
        std::min(static_cast<int>(std::lround(height * 0.5)), height - 2 * margin - units_room);
    l.bar_x = width - margin - 2 * column_width;
    l.bar_y = height - margin - units_room - l.bar_height;
    l.fits = l.bar_height >= 40 && l.bar_x >= label_room;
    return l;
}

double LegendLayout::row_value(int row, double low, double range) const {
    return low + range * (row + 0.5) / bar_height;
}

int LegendLayout::value_row(double value, double low, double range) const {
    return static_cast<int>(std::floor((value - low) / range * bar_height));
}

bool legend_colours(const Scene& scene, const std::vector<double>& values,
                    std::vector<float>& rgba) {
    const int n = static_cast<int>(values.size());
    // The classification's own path length, so that the legend shows what the grid gets.
    const int components = scene.data_volume.ncomp > 0 ? scene.window_width() : 2;
    Volume path;
    Volume colours;
    if (n <= 0 || !path.allocate(n, 1, 1, components) || !colours.allocate(n, 1, 1, 4))
        return false;
    for (int i = 0; i < n; ++i)
        std::fill_n(path.samples + path.flat_index(i, 0, 0, 0), components,
                    static_cast<float>(values[i]));
    path.valid = true;
    colours.rgba = true;
    const TransferFunction* const curves[4] = {&scene.curves[0], &scene.curves[1], &scene.curves[2],
                                               &scene.curves[3]};
    if (!classify(colours, path, curves, scene.classify_settings(), 1))
        return false;
    rgba.assign(colours.samples, colours.samples + colours.sample_count());
    return true;
}

namespace {

constexpr unsigned char text_colour[3] = {230, 230, 230};

unsigned char byte_of(double v) {
    return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

// The units of the classified values, when the grid names them.
std::string legend_units(const Scene& scene) {
    const std::vector<GridVariable>& variables = scene.description().variables;
    if (variables.empty())
        return {};
    const int first = scene.window_first();
    const std::size_t i =
        scene.description().components_from_dimension()
            ? 0
            : std::min<std::size_t>(static_cast<std::size_t>(first), variables.size() - 1);
    return variables[i].units;
}

// Draws `label` with its lower left corner at (x, y) where all of it lies in the view.
void draw_label(const LabelImage& label, int x, int y, int width, int height) {
    if (label.empty() || x < 0 || y < 0 || x + label.width > width || y + label.height > height)
        return;
    PixelSpace::draw_pixels(x, y, label.width, label.height, label.rgba.data());
}

} // namespace

void ColourLegend::draw() {
    if (!shown || !scene)
        return;
    const double low = scene->low_end, range = scene->range;
    if (!std::isfinite(low) || !std::isfinite(range) || range == 0.0)
        return;
    int width = 0, height = 0;
    PixelSpace::viewport_size(width, height);
    const LegendLayout l = LegendLayout::for_view(width, height);
    if (!l.fits)
        return;
    std::vector<double> values(static_cast<std::size_t>(l.bar_height));
    for (int row = 0; row < l.bar_height; ++row)
        values[row] = l.row_value(row, low, range);
    std::vector<float> colours;
    if (!legend_colours(*scene, values, colours))
        return;

    // The bar as pixels: the colour column, then the colour at its opacity over a
    // checkerboard of two greys.
    const int cw = LegendLayout::column_width;
    const int bar_width = 2 * cw;
    std::vector<unsigned char> bar(static_cast<std::size_t>(bar_width) * l.bar_height * 4);
    for (int row = 0; row < l.bar_height; ++row) {
        const float* c = colours.data() + static_cast<std::size_t>(row) * 4;
        const double alpha = std::clamp(static_cast<double>(c[3]), 0.0, 1.0);
        for (int col = 0; col < bar_width; ++col) {
            unsigned char* p = bar.data() + (static_cast<std::size_t>(row) * bar_width + col) * 4;
            const int cell = LegendLayout::checker_cell;
            const double ground = ((col - cw) / cell + row / cell) % 2 == 0 ? 0.75 : 0.4;
            for (int k = 0; k < 3; ++k) {
                const double colour = std::clamp(static_cast<double>(c[k]), 0.0, 1.0);
                p[k] = byte_of(col < cw ? colour : colour * alpha + ground * (1.0 - alpha));
            }
            p[3] = 255;
        }
    }

    PixelSpace pixels(width, height);
    PixelSpace::draw_pixels(l.bar_x, l.bar_y, bar_width, l.bar_height, bar.data());
    // A frame around the bar, and the ticks at its left.
    glColor3ub(text_colour[0], text_colour[1], text_colour[2]);
    glLineWidth(1.0f);
    const double left = l.bar_x - 0.5, right = l.bar_x + bar_width + 0.5;
    const double bottom = l.bar_y - 0.5, top = l.bar_y + l.bar_height + 0.5;
    glBegin(GL_LINE_LOOP);
    glVertex2d(left, bottom);
    glVertex2d(right, bottom);
    glVertex2d(right, top);
    glVertex2d(left, top);
    glEnd();
    const Ticks ticks = nice_ticks(low, low + range);
    const LabelMaker* labels = scene->label_maker;
    for (const double t : ticks.values) {
        const int row = std::clamp(l.value_row(t, low, range), 0, l.bar_height - 1);
        const double y = l.bar_y + row + 0.5;
        glBegin(GL_LINES);
        glVertex2d(l.bar_x - 5.0, y);
        glVertex2d(l.bar_x - 1.0, y);
        glEnd();
        if (labels) {
            const LabelImage label = labels->make(tick_label(t, ticks.decimals), text_colour);
            draw_label(label, l.bar_x - 7 - label.width, l.bar_y + row - label.height / 2, width,
                       height);
        }
    }
    if (labels) {
        const std::string units = legend_units(*scene);
        if (!units.empty()) {
            const LabelImage label = labels->make(units, text_colour);
            const int x = std::min(l.bar_x + cw - label.width / 2, width - label.width - 1);
            draw_label(label, std::max(x, 0), l.bar_y + l.bar_height + 4, width, height);
        }
    }
}

void ColourLegend::add_frame_inputs(FrameInputs& inputs) const {
    inputs.add(shown);
    inputs.add(scene);
    if (!shown || !scene)
        return;
    for (const TransferFunction& curve : scene->curves)
        inputs.add(curve.revision());
    const ClassifySettings s = scene->classify_settings();
    inputs.add(s.low);
    inputs.add(s.range);
    inputs.add(s.missing);
    inputs.add(s.integration);
    inputs.add(scene->data_volume.ncomp);
    inputs.add(scene->window_first());
    inputs.add(scene->window_last());
    inputs.add(scene->label_maker);
    const std::string units = legend_units(*scene);
    inputs.add(units.size());
    for (const char c : units)
        inputs.add(c);
}
