#include "core/amateur_band.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

struct Band {
  const char *name;
  double lowMHz;
  double highMHz;
};

// The band edges of ADIF's band table, lowest first.
constexpr Band kBands[] = {
    {"2190m", 0.1357, 0.1378}, {"630m", 0.472, 0.479},
    {"560m", 0.501, 0.504},    {"160m", 1.8, 2.0},
    {"80m", 3.5, 4.0},         {"60m", 5.06, 5.45},
    {"40m", 7.0, 7.3},         {"30m", 10.1, 10.15},
    {"20m", 14.0, 14.35},      {"17m", 18.068, 18.168},
    {"15m", 21.0, 21.45},      {"12m", 24.89, 24.99},
    {"10m", 28.0, 29.7},       {"8m", 40.0, 45.0},
    {"6m", 50.0, 54.0},        {"5m", 54.000001, 69.9},
    {"4m", 70.0, 71.0},        {"2m", 144.0, 148.0},
    {"1.25m", 222.0, 225.0},   {"70cm", 420.0, 450.0},
    {"33cm", 902.0, 928.0},    {"23cm", 1240.0, 1300.0},
    {"13cm", 2300.0, 2450.0},  {"9cm", 3300.0, 3500.0},
    {"6cm", 5650.0, 5925.0},   {"3cm", 10000.0, 10500.0},
    {"1.25cm", 24000.0, 24250.0}, {"6mm", 47000.0, 47200.0},
    {"4mm", 75500.0, 81000.0}, {"2mm", 134000.0, 149000.0},
    {"1mm", 241000.0, 250000.0},
};

} // namespace

std::optional<std::string> amateurBand(double hz) {
  if (!std::isfinite(hz))
    return std::nullopt;
  const double mhz = hz / 1e6;
  for (const Band &band : kBands)
    if (mhz >= band.lowMHz - 1e-9 && mhz <= band.highMHz + 1e-9)
      return band.name;
  return std::nullopt;
}

std::optional<std::string> amateurBandNamed(const std::string &name) {
  std::string lower = name;
  std::transform(
      lower.begin(), lower.end(), lower.begin(),
      [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const Band &band : kBands)
    if (lower == band.name || lower + "m" == band.name)
      return band.name;
  return std::nullopt;
}

std::string frequencyText(double hz) {
  const long long total = std::llround(std::fmax(hz, 0.0));
  char text[48];
  std::snprintf(text, sizeof text, "%lld.%06lld MHz", total / 1000000, total % 1000000);
  return text;
}
