#include "framing/filter_tables.h"

#include <numbers>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace {

// Magnitude response in dB of a table at frequency f for sample rate fs.
double responseDb(const FilterTable& t, double f, double fs) {
  std::complex<double> sum = 0;
  for (int k = 0; k < kFilterTaps; ++k) sum += t[k] * std::polar(1.0, -2 * std::numbers::pi * f * k / fs);
  return 20 * std::log10(std::abs(sum));
}

// Checks a computed tap against a printed value to the printed number of significant digits.
void expectPrinted(double computed, double printed) {
  EXPECT_NEAR(computed, printed, std::abs(printed) * 5e-9 + 1e-15) << "printed " << printed;
}

TEST(FilterTables, BandPassMatchesPrintedTaps) {
  const auto& b = bandPassTable();
  const std::pair<int, double> printed[] = {
      {0, 0.000183556493}, {2, -0.000530567958}, {4, 0.00225312673}, {5, 0.00378769117},
      {6, 0.00206474048},  {8, 0.00345920986},   {9, 0.0107074434},  {10, 0.0109110324},
      {12, -0.00825482848}, {14, 0.0121696272},  {16, -0.0355191016}, {17, -0.0526781891},
      {18, -0.0262061786}, {20, -0.0405923148},  {21, -0.129031334}, {22, -0.144599161},
      {24, 0.224157762},   {25, 0.333333333}};
  for (auto [k, v] : printed) {
    expectPrinted(b[k], v);
    expectPrinted(b[50 - k], v);
  }
  for (int k : {1, 3, 7, 11, 13, 15, 19, 23}) EXPECT_LT(std::abs(b[k]), 1e-15);
}

TEST(FilterTables, LowPassMatchesPrintedTapsAndInterpolationEnds) {
  const auto& l = interpolationTable();
  const std::pair<int, double> printed[] = {
      {0, -0.000099340058}, {2, 0.00028714131}, {3, 0.000792037935}, {4, 0.00147192597},
      {5, 0.00218682451},   {6, 0.00269771345}, {7, 0.00269676853},  {8, 0.00187211088},
      {10, -0.0029525041},  {11, -0.0067388816}, {12, -0.0107854532}, {13, -0.0142074089},
      {14, -0.0159003842},  {15, -0.014703415}, {16, -0.00961139964}, {18, 0.0141826817},
      {19, 0.0323023863},   {20, 0.0530364151}, {21, 0.0744962753},  {22, 0.0944639542},
      {23, 0.110706242},    {24, 0.121313306},  {25, 0.125}};
  for (auto [k, v] : printed) {
    expectPrinted(l[k], v);
    expectPrinted(l[50 - k], v);
  }
  EXPECT_LT(std::abs(l[1]), 1e-15);
  EXPECT_LT(std::abs(l[9]), 1e-15);
  EXPECT_LT(std::abs(l[17]), 1e-15);
}

TEST(FilterTables, QuotedResponses) {
  const auto& b = bandPassTable();
  EXPECT_NEAR(responseDb(b, 500, 12000), -6.02, 0.1);
  EXPECT_NEAR(responseDb(b, 2500, 12000), -6.02, 0.1);
  EXPECT_NEAR(responseDb(b, 600, 12000), -3.0, 0.5);
  EXPECT_NEAR(responseDb(b, 2400, 12000), -3.0, 0.5);
  for (double f = 1000; f <= 2000; f += 50) EXPECT_NEAR(responseDb(b, f, 12000), 0.0, 0.01) << f;

  const auto& l = interpolationTable();
  EXPECT_NEAR(responseDb(l, 3000, 48000), -6.02, 0.1);
  for (double f = 5000; f <= 24000; f += 250) EXPECT_LT(responseDb(l, f, 48000), -58.0) << f;
}

TEST(FilterTables, StoredTablesAreSymmetricAsDesigned) {
  const auto& h = inputFilterTable();
  const auto& g = hilbertTable();
  for (int k = 0; k < kFilterTaps; ++k) {
    EXPECT_EQ(h[k], h[50 - k]);
    EXPECT_EQ(g[k], -g[50 - k]);
    if (k % 2 == 1 && k != 25) {
      EXPECT_EQ(h[k], 0.0);
      EXPECT_EQ(g[k], 0.0);
    }
  }
  EXPECT_EQ(h[25], 0.5);
  EXPECT_EQ(g[25], 0.0);
  // Half-band: unity gain in the pass band, half at 12 kHz, small above 13 kHz.
  EXPECT_NEAR(responseDb(h, 1000, 48000), 0.0, 0.05);
  EXPECT_NEAR(responseDb(h, 12000, 48000), -6.02, 0.1);
  EXPECT_LT(responseDb(h, 13500, 48000), 20 * std::log10(0.025));
}

}  // namespace
