#pragma once
// The waterfall: one spectrum line per receive buffer, drawn at the top of the picture while
// the older lines move down, with two dashed frequency markers.
#include "displays/fourier_levels.h"
#include "imaging/picture.h"

// Columns of the two markers: bins 66 and 190 (773 Hz and 2227 Hz at 11.71875 Hz a bin).
inline constexpr int kLowMarkerColumn = 66;
inline constexpr int kHighMarkerColumn = 190;
// Columns drawn per line: bins 0..255, 0 to 2988 Hz.
inline constexpr int kWaterfallColumns = 256;

// Everything the waterfall keeps: the analyser tables (built once), the working arrays and
// the marker phase. Large; allocate it once.
struct Waterfall {
  SpectrumTables tables;
  SpectrumWork work;
  int markerPhase = 0;  // lines drawn, counted 1..6 for the 3-black / 3-white dashes
};

// Draws one line from the first 1024 of `count` samples at 12000 Hz: scrolls `picture` down
// one row and fills row 0 with the levels of bins 0..255 in colour scale `colorType`.
void waterfallStep(Waterfall& waterfall, const double* samples, int count, Picture& picture,
                   int colorType);
