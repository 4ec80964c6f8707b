#include "imaging/macroblock_stages.h"

#include <cmath>

namespace macroblock {

bool macroblockInside(const Picture& picture, int col, int row) {
  if (col < 0 || row < 0) return false;
  // Compare in wide integers: a huge col or row must not overflow the multiplication.
  long long right = (static_cast<long long>(col) + 1) * kMacroblockSize;
  long long bottom = (static_cast<long long>(row) + 1) * kMacroblockSize;
  return right <= picture.width() && bottom <= picture.height();
}

void readComponents(const Picture& picture, int col, int row, Components& samples) {
  const int left = col * kMacroblockSize;
  const int top = row * kMacroblockSize;
  Block& cb = samples[4];
  Block& cr = samples[5];
  for (int y = 0; y < kMacroblockSize; ++y) {
    const uint8_t* p = picture.row(top + y) + left * 3;
    // Luminance quarter: 0/1 on the upper half, 2/3 on the lower one.
    Block& left8 = samples[(y < 8) ? 0 : 2];
    Block& right8 = samples[(y < 8) ? 1 : 3];
    const int line = (y & 7) * 8;
    for (int x = 0; x < kMacroblockSize; ++x, p += 3) {
      const double blue = p[0];
      const double green = p[1];
      const double red = p[2];
      // The transform takes blue where JFIF takes red and red where it takes blue.
      const double lum = 0.299 * blue + 0.587 * green + 0.114 * red;
      (x < 8 ? left8 : right8)[line + (x & 7)] = lum - 128.0;
      if (((x | y) & 1) == 0) {
        const int k = (y / 2) * 8 + x / 2;
        cb[k] = -0.1684 * blue - 0.3316 * green + 0.5 * red;
        cr[k] = 0.5 * blue - 0.4187 * green - 0.0813 * red;
      }
    }
  }
}

namespace {

inline uint8_t toColourValue(double value) {
  if (!(value >= 0.0)) return 0;  // also catches NaN
  if (value > 255.0) return 255;
  return static_cast<uint8_t>(static_cast<int>(value));  // truncation, no rounding
}

}  // namespace

void writeComponents(const Components& samples, int col, int row, Picture& picture) {
  const int left = col * kMacroblockSize;
  const int top = row * kMacroblockSize;
  const Block& cb = samples[4];
  const Block& cr = samples[5];
  for (int y = 0; y < kMacroblockSize; ++y) {
    uint8_t* p = picture.row(top + y) + left * 3;
    const Block& left8 = samples[(y < 8) ? 0 : 2];
    const Block& right8 = samples[(y < 8) ? 1 : 3];
    const int line = (y & 7) * 8;
    const int chromaLine = (y / 2) * 8;
    for (int x = 0; x < kMacroblockSize; ++x, p += 3) {
      const double lum = (x < 8 ? left8 : right8)[line + (x & 7)] + 128.0;
      const double b = cb[chromaLine + x / 2];
      const double r = cr[chromaLine + x / 2];
      p[0] = toColourValue(lum + 1.402 * r);
      p[1] = toColourValue(lum - 0.3441 * b - 0.7139 * r);
      p[2] = toColourValue(lum + 1.7718 * b - 0.0012 * r);
    }
  }
}

void quantise(const Block& coefficients, const std::array<uint8_t, 64>& steps, double scale,
              Levels& levels) {
  constexpr double kSafeLimit = 4095.0;
  for (int k = 0; k < 64; ++k) {
    const double c = coefficients[k];
    const double q = steps[k] * scale;
    const double sign = (c > 0.0) ? 1.0 : (c < 0.0 ? -1.0 : 0.0);
    double value = std::trunc((c + sign * q / 2.0) / q);
    if (value > kSafeLimit) {
      value = kSafeLimit;
    } else if (value < -kSafeLimit) {
      value = -kSafeLimit;
    } else if (value != value) {
      value = 0.0;  // 0 / 0 from a zero step
    }
    levels[k] = static_cast<int>(value);
  }
}

void dequantise(const Levels& levels, const std::array<uint8_t, 64>& steps, double scale,
                Block& coefficients) {
  for (int k = 0; k < 64; ++k) coefficients[k] = levels[k] * (steps[k] * scale);
}

}  // namespace macroblock
