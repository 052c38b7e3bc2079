#pragma once

#include "drawable.h"
#include "frame_inputs.h"

#include <vector>

class Scene;

// Where the legend lies in a view of width x height pixels (origin bottom left): a bar in the
// upper right corner, below room for the units, of two columns: the colour a value gets, and beside
// it that colour at the value's opacity over a checkerboard. Row 0 is the low end.
struct LegendLayout {
    static constexpr int margin = 10;
    static constexpr int column_width = 10;
    static constexpr int checker_cell = 4;

    bool fits = false; // false: the view is too small to show a legend
    int bar_x = 0;     // the colour column's left edge; the opacity column follows it
    int bar_y = 0;
    int bar_height = 0;

    static LegendLayout for_view(int width, int height);
    // The value bar row `row` stands for: low + range * (row + 0.5) / bar_height.
    double row_value(int row, double low, double range) const;
    // The row that shows `value` (may be outside the bar).
    int value_row(double value, double low, double range) const;
};

// The colour volume's values (red, green, blue, opacity; opacity with the classification's
// factor) for a grid point whose components all equal each of `values`, through the scene's
// curves and settings: a 1 x 1 x n grid of such points classified as the scene classifies its
// grid, over as many components as its classification takes (two without a grid). False when
// the classification refuses the settings (a range of 0).
bool legend_colours(const Scene& scene, const std::vector<double>& values,
                    std::vector<float>& rgba);

// The colour legend of the main view: the bar, 4 to 6 ticks at round values labelled, and the
// data's units above the bar when the grid names them. Draws nothing unless shown; without the
// scene's label maker it draws no text.
class ColourLegend : public Drawable, public FrameSource {
public:
    void draw() override;
    void add_frame_inputs(FrameInputs& inputs) const override;

    const Scene* scene = nullptr; // not owned
    bool shown = false;
};
