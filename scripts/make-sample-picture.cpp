// Draws the synthetic test scene stored as assets/sample-640x480.jpg: colour gradients, a
// zone plate, resolution wedges of fine lines, colour bars, circles, a noise texture and
// lettering, so that picture coding at every quality scale has detail and colour to lose.
// Deterministic: the same program always draws the same picture.
//
// Not part of the main build. Build and run from the repository root:
//   g++ -std=c++20 -O2 -Isrc scripts/make-sample-picture.cpp src/imaging/jpeg_file.cpp
//       src/imaging/bmp_file.cpp src/imaging/file_bytes.cpp src/imaging/picture.cpp
//       -ljpeg -o /tmp/make-sample-picture
//   /tmp/make-sample-picture assets/sample-640x480.jpg     (a .bmp name writes a bitmap)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "imaging/bmp_file.h"
#include "imaging/jpeg_file.h"
#include "imaging/picture.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr double kPi = 3.14159265358979323846;

uint8_t clampByte(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); }

Colour hsv(double h, double s, double v) {
  h = std::fmod(h, 360.0);
  if (h < 0) h += 360.0;
  double c = v * s, x = c * (1 - std::fabs(std::fmod(h / 60.0, 2) - 1)), m = v - c;
  double r = 0, g = 0, b = 0;
  if (h < 60) r = c, g = x;
  else if (h < 120) r = x, g = c;
  else if (h < 180) g = c, b = x;
  else if (h < 240) g = x, b = c;
  else if (h < 300) r = x, b = c;
  else r = c, b = x;
  return Colour{clampByte((r + m) * 255), clampByte((g + m) * 255), clampByte((b + m) * 255)};
}

void fillRect(Picture& p, int x0, int y0, int w, int h, Colour c) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) putPixel(x, y, p, c);
}

// Background: hue across, brightness down.
void drawBackground(Picture& p) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      p.set(x, y, hsv(360.0 * x / kWidth, 0.55, 0.35 + 0.6 * (1.0 - double(y) / kHeight)));
}

// Concentric rings whose spacing shrinks outward: detail at every spatial frequency.
void drawZonePlate(Picture& p, int cx, int cy, int radius) {
  for (int y = cy - radius; y <= cy + radius; ++y)
    for (int x = cx - radius; x <= cx + radius; ++x) {
      double dx = x - cx, dy = y - cy, r2 = dx * dx + dy * dy;
      if (r2 > double(radius) * radius) continue;
      double v = 0.5 + 0.5 * std::cos(kPi * r2 / (2.2 * radius));
      putPixel(x, y, p, Colour{clampByte(255 * v), clampByte(255 * v), clampByte(255 * v)});
    }
}

// Groups of one-pixel lines at spacings 2..6, vertical then horizontal, plus diagonals.
void drawWedges(Picture& p, int x0, int y0) {
  fillRect(p, x0, y0, 200, 120, colours::white);
  for (int g = 0; g < 5; ++g) {
    int spacing = g + 2;
    for (int x = 0; x < 36; x += spacing) fillRect(p, x0 + 4 + g * 39 + x, y0 + 4, 1, 52, colours::black);
    for (int y = 0; y < 36; y += spacing) fillRect(p, x0 + 4 + g * 39, y0 + 62 + y, 36, 1, colours::black);
  }
  for (int i = 0; i < 100; i += 4)
    for (int t = 0; t < 18; ++t) putPixel(x0 + 4 + i + t, y0 + 100 + t, p, Colour{0, 0, 160});
}

void drawColourBars(Picture& p, int x0, int y0, int w, int h) {
  const Colour bars[] = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192}, {0, 192, 0},
                         {192, 0, 192},   {192, 0, 0},   {0, 0, 192},   {16, 16, 16}};
  int n = 8;
  for (int i = 0; i < n; ++i) fillRect(p, x0 + i * w / n, y0, w / n, h, bars[i]);
  // Grey ramp below.
  for (int x = 0; x < w; ++x) {
    uint8_t v = clampByte(255.0 * x / (w - 1));
    fillRect(p, x0 + x, y0 + h, 1, h / 3, Colour{v, v, v});
  }
}

void drawCircle(Picture& p, int cx, int cy, int r, Colour c, bool filled) {
  for (int y = cy - r - 1; y <= cy + r + 1; ++y)
    for (int x = cx - r - 1; x <= cx + r + 1; ++x) {
      double d = std::hypot(x - cx, y - cy);
      if (filled ? d <= r : std::fabs(d - r) < 0.7) putPixel(x, y, p, c);
    }
}

// A deterministic noise texture tinted by position.
void drawNoise(Picture& p, int x0, int y0, int w, int h) {
  uint32_t state = 20240315u;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      state = state * 1664525u + 1013904223u;
      int n = static_cast<int>(state >> 24) - 128;
      putPixel(x, y, p,
               Colour{clampByte(140 + n * 0.8 + (x - x0)), clampByte(110 + n * 0.6),
                      clampByte(90 + n * 0.7 + (y - y0))});
    }
}

// A 5 x 7 font for the characters the lettering uses.
const char* glyph(char c) {
  switch (c) {
    case 'A': return " ### #   ##   #######   ##   ##   #";
    case 'B': return "#### #   ##   ##### #   ##   ##### ";
    case 'C': return " ### #   ##    #    #    #   # ### ";
    case 'D': return "#### #   ##   ##   ##   ##   ##### ";
    case 'E': return "######    #    #### #    #    #####";
    case 'F': return "######    #    #### #    #    #    ";
    case 'G': return " ### #   ##    # ####   ##   # ####";
    case 'H': return "#   ##   ##   #######   ##   ##   #";
    case 'I': return " ###   #    #    #    #    #   ### ";
    case 'K': return "#   ##  # # #  ##   # #  #  # #   #";
    case 'L': return "#    #    #    #    #    #    #####";
    case 'M': return "#   ### ### # ##   ##   ##   ##   #";
    case 'N': return "#   ###  ## # ##  ###   ##   ##   #";
    case 'O': return " ### #   ##   ##   ##   ##   # ### ";
    case 'P': return "#### #   ##   ##### #    #    #    ";
    case 'Q': return " ### #   ##   ##   ## # ##  #  ## #";
    case 'R': return "#### #   ##   ##### # #  #  # #   #";
    case 'S': return " #####    #     ###     #    ##### ";
    case 'T': return "#####  #    #    #    #    #    #  ";
    case 'U': return "#   ##   ##   ##   ##   ##   # ### ";
    case 'W': return "#   ##   ##   ## # ## # ### ###   #";
    case 'X': return "#   ##   # # #   #   # # #   ##   #";
    case '0': return " ### #   ##  ### # ###  ##   # ### ";
    case '1': return "  #   ##    #    #    #    #   ### ";
    case '2': return " ### #   #    #   #   #   #   #####";
    case '3': return "####     #    #  ##     #    ##### ";
    case '4': return "   #   ##  # # #  # #####   #    # ";
    case '5': return "######    ####     #    ##   # ### ";
    case '6': return " ### #    #    #### #   ##   # ### ";
    case '7': return "#####    #   #   #   #    #    #   ";
    case '8': return " ### #   ##   # ### #   ##   # ### ";
    case '9': return " ### #   ##   # ####    #    # ### ";
    case '/': return "    #    #   #   #   #   #    #    ";
    default: return nullptr;
  }
}

void drawText(Picture& p, int x0, int y0, const std::string& text, int scale, Colour c) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char* g = glyph(text[i]);
    if (!g) continue;
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (g[row * 5 + col] == '#')
          fillRect(p, x0 + static_cast<int>(i) * 6 * scale + col * scale, y0 + row * scale, scale,
                   scale, c);
  }
}

Picture drawScene() {
  Picture p(kWidth, kHeight);
  drawBackground(p);
  drawZonePlate(p, 120, 130, 100);
  drawWedges(p, 250, 20);
  drawColourBars(p, 470, 20, 160, 90);
  drawNoise(p, 470, 160, 160, 110);
  drawCircle(p, 330, 230, 70, Colour{230, 40, 40}, true);
  drawCircle(p, 370, 260, 50, Colour{40, 60, 220}, true);
  drawCircle(p, 300, 270, 40, Colour{250, 220, 30}, true);
  for (int r = 8; r <= 96; r += 8) drawCircle(p, 330, 240, r, colours::white, false);
  for (int i = 0; i < 8; ++i)
    drawCircle(p, 40 + i * 24, 290, 3 + i, hsv(i * 45.0, 1.0, 1.0), i % 2 == 0);
  fillRect(p, 0, 330, kWidth, 150, Colour{24, 24, 40});
  drawText(p, 12, 340, "PELIMO TEST PICTURE 640X480", 3, colours::white);
  drawText(p, 12, 372, "CQ CQ DE QA1BCD QA1BCD K", 2, Colour{255, 220, 0});
  drawText(p, 12, 392, "0123456789 ABCDEFGHIKLMNOPQRSTUWX", 2, Colour{120, 255, 120});
  drawText(p, 12, 412, "SSB 1200 BAUD MSK 4L/FSK 320X240 300 BLOCKS", 1, Colour{200, 200, 255});
  drawText(p, 12, 424, "THE QUICK BROWN FOX 0123456789 / 9876543210", 1, Colour{255, 160, 160});
  for (int i = 0; i < 40; ++i)  // fine diagonal hatching in the lettering panel
    for (int t = 0; t < 40; ++t) putPixel(440 + i * 4 + t, 440 + t / 1, p, hsv(i * 9.0, 0.8, 0.9));
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.jpg|OUTPUT.bmp\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  const Picture scene = drawScene();
  std::string error;
  bool bmp = path.size() >= 4 && (path.ends_with(".bmp") || path.ends_with(".BMP"));
  bool ok = bmp ? writeBmpFile(path, scene, &error) : writeJpegFile(path, scene, 95, &error);
  if (!ok) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
