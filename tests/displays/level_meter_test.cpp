#include "displays/level_meter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr Colour kGreen{0, 128, 0};
constexpr Colour kLime{0, 255, 0};

TEST(LevelMeter, BarHeightFollowsTheLogarithmOfThePeak) {
  EXPECT_EQ(levelMeterBarHeight(0, 139), 0);
  EXPECT_EQ(levelMeterBarHeight(32767, 139), 138);
  EXPECT_LE(levelMeterBarHeight(3.7, 139), 0);
  EXPECT_GT(levelMeterBarHeight(4.0, 139), 0);
  EXPECT_GE(levelMeterBarHeight(1e300, 139), 139);
}

// Rows of the meter: odd rows are always black; even rows are lime inside the bar, green above.
void expectMeter(const Picture& p, int barTop) {
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) {
      const Colour expected = y % 2 == 1 ? colours::black : y >= barTop ? kLime : kGreen;
      ASSERT_EQ(p.at(x, y), expected) << x << "," << y;
    }
}

TEST(LevelMeter, DrawsGreenWithBlackLinesAndALimeBarFromTheBottom) {
  Picture meter(18, 139);
  drawLevelMeter(meter, 0);
  expectMeter(meter, 139);  // no bar at all
  drawLevelMeter(meter, 32767);
  expectMeter(meter, 139 - 138);
  drawLevelMeter(meter, 100);
  expectMeter(meter, 139 - levelMeterBarHeight(100, 139));
  drawLevelMeter(meter, 1e300);  // beyond full scale: the whole meter
  expectMeter(meter, 0);
  drawLevelMeter(meter, 2);  // below the scale: as empty as 0
  expectMeter(meter, 139);
}

}  // namespace
