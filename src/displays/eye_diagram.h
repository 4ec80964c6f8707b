#pragma once
// The eye diagram: the demodulator's frequency trace drawn in sweeps of two symbol periods,
// each sweep starting at a symbol instant, over a grid of the centre and the +-100 Hz and
// +-300 Hz rows.
#include <cstdint>

#include "imaging/picture.h"

inline constexpr int kEyeCentreRow = 64;
inline constexpr int kEyeCentreColumn = 127;
inline constexpr double kEyePixelsPerRadian = 250.0;  // vertical scale of the trace
inline constexpr int kEyePixelsPerSample = 13;

// Rows of the grid lines: +-300 Hz (yellow) and +-100 Hz (silver).
inline constexpr int kEyeUpper300Row = 25;
inline constexpr int kEyeLower300Row = 103;
inline constexpr int kEyeUpper100Row = 51;
inline constexpr int kEyeLower100Row = 77;

// Redraws `picture` from scratch: black, the dotted grid, then the trace of `count` frequency
// values (radians per sample at 12000 Hz, 0 = 1500 Hz) with `symbolMarks` set to 1 at the
// symbol instants, `symbolCount` of them. Nothing is drawn before the block's second mark;
// every second mark after it starts a new sweep at the left edge, except the block's last.
void eyeDiagramStep(Picture& picture, const double* freqTrace, const uint8_t* symbolMarks,
                    int count, int symbolCount);
