#include "displays/waterfall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "displays/colour_scale.h"

namespace {

std::vector<double> tone(double hz, double amplitude, int count = 3000) {
  std::vector<double> x(count);
  for (int i = 0; i < count; ++i) x[i] = amplitude * std::sin(2 * std::numbers::pi * hz * i / 12000);
  return x;
}

int brightestBin(const SpectrumWork& w, int bins) {
  return static_cast<int>(std::max_element(w.level.begin(), w.level.begin() + bins) - w.level.begin());
}

// The fast transform against the direct sums X[m] = sum x[n] w[n] e^(-j 2 pi m n / N).
TEST(SpectrumAnalyser, LevelsMatchTheDirectTransformInNaturalOrder) {
  const auto t = std::make_unique<SpectrumTables>();
  auto w = std::make_unique<SpectrumWork>();
  std::mt19937 rng(7);
  std::normal_distribution<double> g(0, 3000);
  std::vector<double> x(kSpectrumSize);
  for (double& v : x) v = g(rng);
  spectrumLevels(*t, x.data(), kSpectrumSize, *w);

  // The DC and Nyquist terms of a real input have an imaginary part of exactly 0: level 0.
  EXPECT_EQ(w->level[0], 0.0);
  EXPECT_EQ(w->level[512], 0.0);
  for (int m = 1; m < kSpectrumSize; ++m) {
    if (m == 512) continue;
    std::complex<double> sum;
    for (int n = 0; n < kSpectrumSize; ++n)
      sum += x[n] * t->window[n] * std::polar(1.0, -2 * std::numbers::pi * m * n / kSpectrumSize);
    ASSERT_NEAR(w->level[m], 20 * std::log10(std::abs(sum)), 1e-7) << "bin " << m;
  }
}

TEST(SpectrumAnalyser, ToneLandsInItsBinAndSilenceIsLevelZero) {
  const auto t = std::make_unique<SpectrumTables>();
  auto w = std::make_unique<SpectrumWork>();
  for (auto [hz, bin] : {std::pair{1500.0, 128}, {773.4375, 66}, {2226.5625, 190}, {2988.28125, 255}}) {
    const auto x = tone(hz, 1000);
    spectrumLevels(*t, x.data(), static_cast<int>(x.size()), *w);
    EXPECT_EQ(brightestBin(*w, 256), bin) << hz << " Hz";
    // Hann window: the peak of a bin-centred tone is amplitude x N / 4.
    EXPECT_NEAR(w->level[bin], 20 * std::log10(1000.0 * kSpectrumSize / 4), 1e-6);
  }
  const std::vector<double> silence(3000, 0.0);
  spectrumLevels(*t, silence.data(), 3000, *w);
  EXPECT_TRUE(std::all_of(w->level.begin(), w->level.end(), [](double l) { return l == 0.0; }));
  // A short block is padded with zeros instead of being read past its end.
  const auto shortTone = tone(1500, 1000, 100);
  spectrumLevels(*t, shortTone.data(), 100, *w);
  EXPECT_GT(w->level[128], 0.0);
}

Colour atLevel(double level, int scale) { return levelColour(10 * level - 1000, scale); }

TEST(ColourScales, AllRunFromBlackAt100dBToWhiteAt253dB) {
  for (int scale = 0; scale < 4; ++scale) {
    EXPECT_EQ(atLevel(100, scale), colours::black) << scale;
    EXPECT_EQ(atLevel(-50, scale), colours::black) << scale;
    EXPECT_EQ(atLevel(253, scale), colours::white) << scale;
    EXPECT_NE(atLevel(252.9, scale), colours::white) << scale;
    EXPECT_EQ(levelColour(std::nan(""), scale), colours::black) << scale;
  }
}

TEST(ColourScales, SegmentsStartAtMultiplesOf255AndJoinWithoutJumps) {
  EXPECT_EQ(levelColour(510, kFullColour), (Colour{0, 255, 255}));  // 151 dB: cyan
  EXPECT_EQ(levelColour(509.9, kFullColour), (Colour{0, 254, 255}));
  EXPECT_EQ(levelColour(2 * 255, kBlueScale), (Colour{0, 0, 255}));
  EXPECT_EQ(levelColour(2 * 300, kBlueScale), (Colour{0, 45, 255}));
  EXPECT_EQ(levelColour(2 * 300, kGoldScale), (Colour{255, 127 + 22, 0}));
  EXPECT_EQ(levelColour(2 * 600, kGoldScale), (Colour{255, 255, 90}));
  EXPECT_EQ(levelColour(1100, kFullColour), (Colour{255, 255 - 80, 0}));
  // An unknown scale number from a settings file draws as the default "Blue".
  EXPECT_EQ(levelColour(600, 7), levelColour(600, kBlueScale));

  // Stepping one scale position at a time, no channel jumps by more than one step (so every
  // segment picks up where the previous one ended) and the overall brightness never falls
  // except where "FullColor" trades blue for red.
  for (int scale = 0; scale < 4; ++scale) {
    const double unit = scale == kMonochrome ? 6 : scale == kFullColour ? 1 : 2;
    Colour previous = colours::black;
    for (int v = 0; v < 2000; ++v) {
      const Colour c = levelColour(v * unit, scale);
      if (c == colours::white) break;
      EXPECT_LE(std::abs(c.red - previous.red), 1) << scale << " at " << v;
      EXPECT_LE(std::abs(c.green - previous.green), 1) << scale << " at " << v;
      EXPECT_LE(std::abs(c.blue - previous.blue), 1) << scale << " at " << v;
      previous = c;
    }
  }
}

struct WaterfallRun {
  std::unique_ptr<Waterfall> waterfall = std::make_unique<Waterfall>();
  Picture picture{256, 127};
  void line(const std::vector<double>& block, int scale = kBlueScale) {
    waterfallStep(*waterfall, block.data(), static_cast<int>(block.size()), picture, scale);
  }
};

TEST(Waterfall, SilenceDrawsBlackLinesWithDashedMarkersRepeatingEverySixLines) {
  for (int scale = 0; scale < 4; ++scale) {
    WaterfallRun run;
    const std::vector<double> silence(3000, 0.0);
    for (int line = 1; line <= 12; ++line) run.line(silence, scale);
    // Row 0 is line 12, row r is line 12 - r: lines 1-3 of every six black, lines 4-6 white.
    for (int r = 0; r < 12; ++r) {
      const int line = 12 - r;
      const Colour marker = (line - 1) % 6 < 3 ? colours::black : colours::white;
      EXPECT_EQ(run.picture.at(kLowMarkerColumn, r), marker) << "row " << r;
      EXPECT_EQ(run.picture.at(kHighMarkerColumn, r), marker) << "row " << r;
      for (int x = 0; x < 256; ++x) {
        if (x != kLowMarkerColumn && x != kHighMarkerColumn) {
          ASSERT_EQ(run.picture.at(x, r), colours::black) << x << "," << r;
        }
      }
    }
  }
}

TEST(Waterfall, ToneLineScrollsDownOneRowPerBufferAndLeavesAtTheBottom) {
  WaterfallRun run;
  run.line(tone(1500, 3000));
  auto brightness = [&](int x) {
    const Colour c = run.picture.at(x, 0);
    return c.red + c.green + c.blue;
  };
  int brightest = 0;
  for (int x = 1; x < 256; ++x)
    if (brightness(x) > brightness(brightest)) brightest = x;
  EXPECT_EQ(brightest, 128);
  EXPECT_EQ(run.picture.at(0, 0), colours::black);  // bin 0 is always level 0

  std::vector<uint8_t> toneRow(run.picture.row(0), run.picture.row(0) + 256 * 3);
  const std::vector<double> silence(3000, 0.0);
  for (int k = 1; k < 127; ++k) {
    run.line(silence);
    ASSERT_TRUE(std::equal(toneRow.begin(), toneRow.end(), run.picture.row(k))) << k;
  }
  run.line(silence);  // the tone line falls off the bottom
  for (int y = 0; y < 127; ++y) EXPECT_EQ(run.picture.at(128, y), colours::black) << y;
}

}  // namespace
