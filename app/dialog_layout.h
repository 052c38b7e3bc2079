#pragma once

#include <QRect>
#include <QSize>

#include <utility>
#include <vector>

class QWidget;

// Lets the main view follow the dialog's size: at the template size every control sits where
// the template puts it; a larger window widens and heightens the main view, and every control
// right of it moves right and every control below it moves down by as much (the text area
// under the view widens with it). Smaller than the template size the window does not go.
class DialogLayout {
public:
    // The template's size and the main view's place in it.
    void start(QSize template_size, QRect main_view);
    // A control and its place at the template size.
    void add(QWidget* widget, QRect at);
    // Places every control for a window of `size`.
    void apply(QSize size) const;

private:
    QSize size_;
    QRect view_;
    std::vector<std::pair<QWidget*, QRect>> controls_;
};
