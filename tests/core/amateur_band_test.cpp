// The band of a frequency at the edges of every band, as ADIF 3.1 lists them in its Band
// enumeration (lower and upper edge in MHz, both inside the band).
#include <gtest/gtest.h>

#include "core/amateur_band.h"

TEST(AmateurBand, EveryAdifBandHoldsBothItsEdgesAndNothingJustOutside) {
  struct AdifBand {
    const char* name;
    double lowerMHz, upperMHz;
  };
  const AdifBand adif[] = {
      {"2190m", .1357, .1378},   {"630m", .472, .479},        {"560m", .501, .504},
      {"160m", 1.8, 2.0},        {"80m", 3.5, 4.0},           {"60m", 5.06, 5.45},
      {"40m", 7.0, 7.3},         {"30m", 10.1, 10.15},        {"20m", 14.0, 14.35},
      {"17m", 18.068, 18.168},   {"15m", 21.0, 21.45},        {"12m", 24.890, 24.99},
      {"10m", 28.0, 29.7},       {"8m", 40, 45},              {"6m", 50, 54},
      {"5m", 54.000001, 69.9},   {"4m", 70, 71},              {"2m", 144, 148},
      {"1.25m", 222, 225},       {"70cm", 420, 450},          {"33cm", 902, 928},
      {"23cm", 1240, 1300},      {"13cm", 2300, 2450},        {"9cm", 3300, 3500},
      {"6cm", 5650, 5925},       {"3cm", 10000, 10500},       {"1.25cm", 24000, 24250},
      {"6mm", 47000, 47200},     {"4mm", 75500, 81000},       {"2mm", 134000, 149000},
      {"1mm", 241000, 250000},
  };
  for (const AdifBand& band : adif) {
    SCOPED_TRACE(band.name);
    EXPECT_EQ(amateurBand(band.lowerMHz * 1e6), band.name);
    EXPECT_EQ(amateurBand(band.upperMHz * 1e6), band.name);
    EXPECT_EQ(amateurBand((band.lowerMHz + band.upperMHz) / 2 * 1e6), band.name);
    EXPECT_NE(amateurBand(band.lowerMHz * 1e6 - 1e3), band.name);
    EXPECT_NE(amateurBand(band.upperMHz * 1e6 + 1e3), band.name);
  }
}
