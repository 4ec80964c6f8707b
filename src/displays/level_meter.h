#pragma once
// A level meter: a lime bar growing up from the bottom of a dark green picture, on a
// logarithmic scale, crossed by black lines on every other row.
#include "imaging/picture.h"

// Bar height in pixels for a peak value in a meter `height` pixels high: 0 for a peak of 0,
// else trunc((height / 2) x ln(peak) x 0.22146187299051515) - 20 (negative: no bar).
int levelMeterBarHeight(double peak, int height);

// Redraws the whole meter for this peak (16-bit sample units, never negative).
void drawLevelMeter(Picture& picture, double peak);
