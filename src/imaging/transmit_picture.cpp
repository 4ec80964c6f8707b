#include "imaging/transmit_picture.h"

#include <algorithm>

namespace {

// The largest centred 4:3 region of a W x H source and the steps that map it onto the target.
struct CropGeometry {
  int x0 = 0;
  int y0 = 0;
  double sx = 1.0;
  double sy = 1.0;
};

CropGeometry cropFor(int width, int height) {
  const int64_t w = width;
  const int64_t h = height;
  CropGeometry g;
  if (w * kPictureHeight >= h * kPictureWidth) {
    // Wider than 4:3 (or exactly 4:3): full height, centred columns.
    const int64_t c = h * kPictureWidth / kPictureHeight;
    g.x0 = static_cast<int>((w - c) / 2);
    g.sx = static_cast<double>(c) / kPictureWidth;
    g.sy = static_cast<double>(h) / kPictureHeight;
  } else {
    // Taller than 4:3: full width, centred rows.
    const int64_t c = w * kPictureHeight / kPictureWidth;
    g.y0 = static_cast<int>((h - c) / 2);
    g.sx = static_cast<double>(w) / kPictureWidth;
    g.sy = static_cast<double>(c) / kPictureHeight;
  }
  return g;
}

}  // namespace

bool fitTransmitPicture(const Picture& source, Picture& target) {
  const int width = source.width();
  const int height = source.height();
  if (width < kPictureWidth || height < kPictureHeight) return false;
  if (&source == &target) {
    const Picture copy = source;
    return fitTransmitPicture(copy, target);
  }

  const CropGeometry g = cropFor(width, height);
  const int bw = static_cast<int>(g.sx);
  const int bh = static_cast<int>(g.sy);

  // Box start positions; each box lies inside the crop, the clamp only guards the arithmetic.
  std::array<int, kPictureWidth> columnStart{};
  std::array<int, kPictureHeight> rowStart{};
  for (int x = 0; x < kPictureWidth; ++x)
    columnStart[x] = std::min(static_cast<int>(x * g.sx) + g.x0, width - bw);
  for (int y = 0; y < kPictureHeight; ++y)
    rowStart[y] = std::min(static_cast<int>(y * g.sy) + g.y0, height - bh);

  target.resize(kPictureWidth, kPictureHeight);
  // Running totals of the box-row averages for one target row: blue, green, red per column.
  std::array<uint32_t, kPictureWidth * 3> totals{};
  for (int y = 0; y < kPictureHeight; ++y) {
    totals.fill(0);
    for (int j = 0; j < bh; ++j) {
      const uint8_t* line = source.row(rowStart[y] + j);
      for (int x = 0; x < kPictureWidth; ++x) {
        const uint8_t* p = line + static_cast<size_t>(columnStart[x]) * 3;
        uint32_t blue = 0, green = 0, red = 0;
        for (int i = 0; i < bw; ++i, p += 3) {
          blue += p[0];
          green += p[1];
          red += p[2];
        }
        totals[x * 3] += blue / bw;
        totals[x * 3 + 1] += green / bw;
        totals[x * 3 + 2] += red / bw;
      }
    }
    uint8_t* out = target.row(y);
    for (int k = 0; k < kPictureWidth * 3; ++k) out[k] = static_cast<uint8_t>(totals[k] / bh);
  }
  return true;
}

void buildScanPermutation(std::array<int, kBlockCount>& scanPermutation, int64_t seedSeconds) {
  // Fold the high half in, so that seeds beyond 32 bits still give different orders.
  const auto seed = static_cast<uint64_t>(seedSeconds);
  uint32_t state = static_cast<uint32_t>(seed) ^ static_cast<uint32_t>(seed >> 32);
  auto next = [&state]() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
  };
  scanPermutation.fill(-1);
  for (int i = 0; i < kBlockCount; ++i) {
    // trunc(r / 32768 * 300), exact in integers.
    int p = next() * kBlockCount / 32768;
    while (scanPermutation[p] != -1) p = (p == 0) ? kBlockCount - 1 : p - 1;
    scanPermutation[p] = i;
  }
}

int blockForSequence(int a, int b, bool wantRow, int scanDirection,
                     const std::array<int, kBlockCount>& scanPermutation) {
  a = std::clamp(a, 0, kBlocksAcross - 1);
  b = std::clamp(b, 0, kBlocksDown - 1);
  const int c = a + kBlocksAcross * b;
  int col = a;
  int row = b;
  if (scanDirection == kScanVertical) {
    col = c / kBlocksDown;
    row = c % kBlocksDown;
  } else if (scanDirection == kScanRandom) {
    const int n = std::clamp(scanPermutation[c], 0, kBlockCount - 1);
    col = n % kBlocksAcross;
    row = n / kBlocksAcross;
  }
  return wantRow ? row : col;
}
