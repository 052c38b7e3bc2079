#pragma once

#include "curves_file.h"

#include <QString>

// What one undo step restores: the four curves' control points and the two edit values, as
// their texts and the numbers the dialog holds.
struct CurveState {
    CurvePoints curves[4]; // red, green, blue, opacity
    QString low_text;
    QString range_text;
    double low = 0.0;
    double range = 0.0;
};

bool operator==(const CurvePoints& a, const CurvePoints& b);
bool operator==(const CurveState& a, const CurveState& b);
