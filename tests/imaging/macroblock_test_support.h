#pragma once
// Shared helpers of the macroblock codec tests: test pictures, bit strings, picture quality, and
// the straightforward reference forms of the transforms (the double sums written out directly).
#include <numbers>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "core/bit_buffer.h"
#include "imaging/dct.h"
#include "imaging/picture.h"

namespace codec_test {


inline double basisScale(int n) { return n == 0 ? 1.0 / std::sqrt(2.0) : 1.0; }

// F(v,u) = 1/4 C(v) C(u) sum over y, x of f(y,x) cos((2x+1) u pi/16) cos((2y+1) v pi/16).
inline void referenceForwardDct(const macroblock::Block& f, macroblock::Block& F) {
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          sum += f[y * 8 + x] * std::cos((2 * x + 1) * u * std::numbers::pi / 16) *
                 std::cos((2 * y + 1) * v * std::numbers::pi / 16);
        }
      }
      F[v * 8 + u] = 0.25 * basisScale(v) * basisScale(u) * sum;
    }
  }
}

// f(y,x) = 1/4 sum over v, u of C(v) C(u) F(v,u) cos((2x+1) u pi/16) cos((2y+1) v pi/16).
inline void referenceInverseDct(const macroblock::Block& F, macroblock::Block& f) {
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      double sum = 0.0;
      for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
          sum += basisScale(v) * basisScale(u) * F[v * 8 + u] *
                 std::cos((2 * x + 1) * u * std::numbers::pi / 16) * std::cos((2 * y + 1) * v * std::numbers::pi / 16);
        }
      }
      f[y * 8 + x] = 0.25 * sum;
    }
  }
}

inline std::string bitString(const BitBuffer& bits, int from, int to) {
  std::string s;
  for (int i = from; i < to && i < BitBuffer::kCells; ++i)
    s += static_cast<char>('0' + bits.cells[i]);
  return s;
}

inline void fillMacroblock(Picture& picture, int col, int row, Colour colour) {
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) picture.set(col * 16 + x, row * 16 + y, colour);
}

inline uint8_t clampByte(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)); }

// A busy test scene: smooth colour gradients, a few hard-edged shapes, thin lines, a textured
// patch and light noise everywhere (mostly in brightness, as camera noise is).
inline Picture makeDetailedPicture(int width, int height, unsigned seed) {
  Picture picture(width, height);
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 1.5);
  std::normal_distribution<double> brightnessNoise(0.0, 5.0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double red = 255.0 * x / width;
      double green = 255.0 * y / height;
      double blue = 128.0 + 100.0 * std::sin(x * 0.05) * std::cos(y * 0.07);
      if ((x - 80) * (x - 80) + (y - 90) * (y - 90) < 40 * 40) {  // a disc
        red = 230;
        green = 40;
        blue = 30;
      }
      if (x > 180 && x < 260 && y > 40 && y < 100) {  // a rectangle with a border
        red = green = blue = (x < 184 || x > 256 || y < 44 || y > 96) ? 10 : 240;
      }
      if (x >= 200 && y >= 140 && y < 220) {  // fine texture
        const double t = ((x / 2 + y / 3) % 3 == 0) ? 90.0 : -60.0;
        red = 120 + t;
        green = 110 + t;
        blue = 100 - t / 2;
      }
      if (y % 37 == 5) red = green = blue = 250;  // thin lines
      const double common = brightnessNoise(random);
      red += common;
      green += common;
      blue += common;
      picture.set(x, y,
                  Colour{clampByte(red + noise(random)), clampByte(green + noise(random)),
                         clampByte(blue + noise(random))});
    }
  }
  return picture;
}

inline void fillNoise(Picture& picture, std::mt19937& random) {
  for (auto& byte : picture.bytes()) byte = static_cast<uint8_t>(random() & 255);
}

inline double psnr(const Picture& a, const Picture& b) {
  double squares = 0.0;
  const auto& x = a.bytes();
  const auto& y = b.bytes();
  for (size_t i = 0; i < x.size(); ++i) {
    const double d = static_cast<double>(x[i]) - y[i];
    squares += d * d;
  }
  const double mse = squares / static_cast<double>(x.size());
  return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// The same measure on the codec's luminance only (0.299 B + 0.587 G + 0.114 R), which the
// shared chroma of each 2 x 2 group does not disturb.
inline double luminancePsnr(const Picture& a, const Picture& b) {
  double squares = 0.0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const Colour p = a.at(x, y);
      const Colour q = b.at(x, y);
      const double d =
          0.299 * (p.blue - q.blue) + 0.587 * (p.green - q.green) + 0.114 * (p.red - q.red);
      squares += d * d;
    }
  }
  const double mse = squares / (static_cast<double>(a.width()) * a.height());
  return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace codec_test
