#include "framing/filter_tables.h"

#include <cmath>
#include <numbers>

namespace {


template <typename Ideal>
FilterTable windowedSinc(Ideal ideal) {
  FilterTable t{};
  const FilterTable& w = kaiserWindow();
  for (int k = 0; k < kFilterTaps; ++k) t[k] = w[k] * ideal(k - 25);
  return t;
}

// Fills a symmetric (sign = +1) or antisymmetric (sign = -1) table from its even taps 0..24
// and the centre tap; odd taps are zero.
FilterTable fromEvenTaps(const std::array<double, 13>& even, double centre, double sign) {
  FilterTable t{};
  for (int i = 0; i < 13; ++i) {
    t[2 * i] = even[i];
    t[50 - 2 * i] = sign * even[i];
  }
  t[25] = centre;
  return t;
}

}  // namespace

double besselI0(double x) {
  double sum = 1.0, term = 1.0;
  const double half = x / 2.0;
  for (int k = 1; k < 60; ++k) {
    term *= (half / k) * (half / k);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

const FilterTable& kaiserWindow() {
  static const FilterTable window = [] {
    FilterTable w{};
    const double beta = 0.1102 * (60.0 - 8.7);
    for (int k = 0; k < kFilterTaps; ++k) {
      const double r = k / 25.0 - 1.0;
      w[k] = besselI0(beta * std::sqrt(1.0 - r * r)) / besselI0(beta);
    }
    return w;
  }();
  return window;
}

const FilterTable& bandPassTable() {
  static const FilterTable table = windowedSinc([](int n) {
    if (n == 0) return 1.0 / 3.0;
    return (std::sin(2 * std::numbers::pi * 2500 * n / 12000) - std::sin(2 * std::numbers::pi * 500 * n / 12000)) / (std::numbers::pi * n);
  });
  return table;
}

const FilterTable& interpolationTable() {
  static const FilterTable table = windowedSinc([](int n) {
    if (n == 0) return 0.125;
    return std::sin(2 * std::numbers::pi * 3000 * n / 48000) / (std::numbers::pi * n);
  });
  return table;
}

const FilterTable& inputFilterTable() {
  static const FilterTable table = fromEvenTaps(
      {0.00188395336, -0.00305968932, 0.00458956204, -0.00654922183, 0.0090416337, -0.0122175793,
       0.0163156089, -0.0217460045, 0.029286942, -0.0406168791, 0.0601240729, -0.103952335,
       0.317588148},
      0.5, +1.0);
  return table;
}

const FilterTable& hilbertTable() {
  static const FilterTable table = fromEvenTaps(
      {-0.00589720752, -0.00592987191, -0.00882375805, -0.0125953651, -0.017460947, -0.0237307016,
       -0.0318879867, -0.042756742, -0.0578935177, -0.0806522041, -0.119803225, -0.207625476,
       -0.635081148},
      0.0, -1.0);
  return table;
}
