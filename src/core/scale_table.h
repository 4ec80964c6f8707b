#pragma once
// The 16 quality-scale factors. The Scale combo's index into this table travels in every
// frame header, so the order and the values are part of the air format.
#include <array>

inline constexpr std::array<double, 16> scaleTable = {0.07, 0.08, 0.09, 0.10, 0.20, 0.30, 0.40, 0.50,
                                                      0.60, 0.80, 1.00, 1.20, 1.40, 1.60, 1.80, 2.00};
inline constexpr int kScaleCount = static_cast<int>(scaleTable.size());

// The macroblock grid of the 320 x 240 picture: block n is column n % 20, row n / 20.
inline constexpr int kPictureWidth = 320;
inline constexpr int kPictureHeight = 240;
inline constexpr int kBlocksAcross = 20;
inline constexpr int kBlocksDown = 15;
inline constexpr int kBlockCount = kBlocksAcross * kBlocksDown;
