#pragma once

#include "curves_file.h"
#include "volume.h"

#include <QString>

// What one undo step restores: the four curves' control points, the two edit values (their
// texts and the numbers the dialog holds) and the colour of missing data.
struct CurveState {
    CurvePoints curves[4]; // red, green, blue, opacity
    QString low_text;
    QString range_text;
    double low = 0.0;
    double range = 0.0;
    MissingData missing = MissingData::grey;
};

bool operator==(const CurvePoints& a, const CurvePoints& b);
bool operator==(const CurveState& a, const CurveState& b);
