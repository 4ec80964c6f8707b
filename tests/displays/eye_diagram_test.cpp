#include "displays/eye_diagram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr Colour kYellow{255, 255, 0};
constexpr Colour kSilver{192, 192, 192};

double deviation(double hz) { return 2 * std::numbers::pi * hz / 12000; }

struct EyeBlock {
  std::vector<double> trace = std::vector<double>(3000, 0.0);
  std::vector<uint8_t> marks = std::vector<uint8_t>(3000, 0);
  int symbolCount = 0;
  Picture picture{256, 127};

  void markEvery(int first, int spacing) {
    for (int n = first; n < 3000; n += spacing) {
      marks[n] = 1;
      ++symbolCount;
    }
  }
  void draw() { eyeDiagramStep(picture, trace.data(), marks.data(), 3000, symbolCount); }
};

Picture gridOnly() {
  EyeBlock b;
  b.draw();
  return b.picture;
}

TEST(EyeDiagram, GridIsDottedOnTheCentreAndThe100And300HzRows) {
  const Picture p = gridOnly();
  EXPECT_EQ(p.at(0, 64), colours::white);
  EXPECT_EQ(p.at(1, 64), colours::black);  // dotted
  EXPECT_EQ(p.at(254, 64), colours::white);
  EXPECT_EQ(p.at(127, 0), colours::white);
  EXPECT_EQ(p.at(127, 126), colours::white);  // the vertical line reaches the bottom row
  EXPECT_EQ(p.at(0, 25), kYellow);
  EXPECT_EQ(p.at(0, 103), kYellow);
  EXPECT_EQ(p.at(0, 51), kSilver);
  EXPECT_EQ(p.at(0, 77), kSilver);
  int lit = 0;
  for (int y = 0; y < 127; ++y)
    for (int x = 0; x < 256; ++x) lit += p.at(x, y) != colours::black;
  EXPECT_EQ(lit, 5 * 128 + 64);  // five dotted rows and one dotted column, nothing else
}

TEST(EyeDiagram, NothingIsTracedWithoutAMarkThatMayStartASweep) {
  const Picture grid = gridOnly();
  EyeBlock none;
  none.trace.assign(3000, deviation(200));
  none.draw();
  EXPECT_EQ(none.picture, grid);

  EyeBlock one;  // one mark: never a second
  one.trace.assign(3000, deviation(200));
  one.marks[100] = 1;
  one.symbolCount = 1;
  one.draw();
  EXPECT_EQ(one.picture, grid);

  EyeBlock two;  // the second mark is the block's last: it never starts a sweep
  two.trace.assign(3000, deviation(200));
  two.marks[100] = two.marks[110] = 1;
  two.symbolCount = 2;
  two.draw();
  EXPECT_EQ(two.picture, grid);

  two.symbolCount = 3;  // a later mark exists (beyond this block's trace): the sweep starts
  two.draw();
  EXPECT_NE(two.picture, grid);
}

TEST(EyeDiagram, SweepsOfTwentySamplesRunFromTheLeftEdgeAlongTheTraceRow) {
  const Picture grid = gridOnly();
  for (auto [hz, row] : {std::pair{300.0, 24}, {-300.0, 103}, {100.0, 50}}) {
    EyeBlock b;
    b.trace.assign(3000, deviation(hz));
    // The block's last sweep (from its last-but-one mark, n = 2975) runs on past the right
    // edge to the end of the block; it is drawn at the centre to tell it apart.
    std::fill(b.trace.begin() + 2975, b.trace.end(), 0.0);
    b.markEvery(5, 10);
    b.draw();
    // Every other sweep has 20 segments of 13 pixels from x = -6: columns 0..253 of the row.
    for (int x = 0; x <= 253; ++x) ASSERT_EQ(b.picture.at(x, row), colours::white) << hz << " Hz, x " << x;
    EXPECT_EQ(b.picture.at(254, row), grid.at(254, row)) << hz;
    EXPECT_EQ(b.picture.at(255, row), grid.at(255, row)) << hz;
    EXPECT_EQ(b.picture.at(11, row - 1), grid.at(11, row - 1)) << hz;
    EXPECT_EQ(b.picture.at(255, kEyeCentreRow), colours::white) << hz;  // the run-on sweep
  }
}

TEST(EyeDiagram, HostileTraceValuesAreDrawnClippedWithoutHarm) {
  EyeBlock b;
  b.markEvery(3, 7);
  for (int n = 0; n < 3000; ++n)
    b.trace[n] = n % 3 == 0 ? std::numeric_limits<double>::quiet_NaN()
               : n % 3 == 1 ? 1e300 : -std::numeric_limits<double>::infinity();
  b.draw();
  EXPECT_EQ(b.picture.width(), 256);
  Picture tiny(3, 2);  // a picture smaller than the grid
  eyeDiagramStep(tiny, b.trace.data(), b.marks.data(), 3000, b.symbolCount);
}

}  // namespace
