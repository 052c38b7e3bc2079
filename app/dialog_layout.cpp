#include "dialog_layout.h"

#include <QWidget>

#include <algorithm>

void DialogLayout::start(QSize template_size, QRect main_view) {
    size_ = template_size;
    view_ = main_view;
    controls_.clear();
}

void DialogLayout::add(QWidget* widget, QRect at) {
    controls_.emplace_back(widget, at);
}

void DialogLayout::apply(QSize size) const {
    const int dx = std::max(0, size.width() - size_.width());
    const int dy = std::max(0, size.height() - size_.height());
    for (const auto& [widget, at] : controls_) {
        QRect r = at;
        if (at == view_) {
            r.setSize(at.size() + QSize(dx, dy));
        } else {
            const bool right = at.left() >= view_.right();
            const bool below = at.top() >= view_.bottom();
            // Under the view and as wide as it: the text area grows with it.
            if (below && at.left() == view_.left() && at.width() == view_.width())
                r.setWidth(at.width() + dx);
            r.translate(right ? dx : 0, below ? dy : 0);
        }
        if (widget->geometry() != r)
            widget->setGeometry(r);
    }
}
