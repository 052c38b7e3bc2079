#pragma once

#include "label_maker.h"

// Labels drawn with Qt's fonts (QPainter into a QImage): the main view's overlay text for both
// programs. Needs a QGuiApplication; the batch tool starts one on the offscreen platform.
class QtLabelMaker : public LabelMaker {
public:
    LabelImage make(const std::string& text, const unsigned char (&colour)[3]) const override;
};

// The one label maker of the process.
const QtLabelMaker& qt_label_maker();
