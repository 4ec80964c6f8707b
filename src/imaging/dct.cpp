#include "imaging/dct.h"

#include <numbers>
#include <cmath>

namespace macroblock {
namespace {


// basis[u][x] = C(u)/2 * cos((2x + 1) u pi / 16), with C(0) = 1/sqrt(2), C(u) = 1 otherwise.
struct Basis {
  double at[8][8];
  Basis() {
    for (int u = 0; u < 8; ++u) {
      double c = (u == 0) ? 1.0 / std::sqrt(2.0) : 1.0;
      for (int x = 0; x < 8; ++x) at[u][x] = c / 2.0 * std::cos((2 * x + 1) * u * std::numbers::pi / 16.0);
    }
  }
};

const Basis& basis() {
  static const Basis table;
  return table;
}

}  // namespace

void forwardDct(const Block& samples, Block& coefficients) {
  const auto& b = basis().at;
  double rows[64];  // rows[y * 8 + u] = sum over x of f(y, x) basis[u][x]
  for (int y = 0; y < 8; ++y) {
    const double* f = &samples[y * 8];
    for (int u = 0; u < 8; ++u) {
      const double* c = b[u];
      rows[y * 8 + u] = f[0] * c[0] + f[1] * c[1] + f[2] * c[2] + f[3] * c[3] + f[4] * c[4] +
                        f[5] * c[5] + f[6] * c[6] + f[7] * c[7];
    }
  }
  for (int v = 0; v < 8; ++v) {
    const double* c = b[v];
    for (int u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (int y = 0; y < 8; ++y) sum += c[y] * rows[y * 8 + u];
      coefficients[v * 8 + u] = sum;
    }
  }
}

void inverseDct(const Block& coefficients, Block& samples) {
  const auto& b = basis().at;
  double rows[64];  // rows[v * 8 + x] = sum over u of F(v, u) basis[u][x]
  bool rowUsed[8];
  for (int v = 0; v < 8; ++v) {
    const double* F = &coefficients[v * 8];
    double* out = &rows[v * 8];
    bool any = false;
    for (int u = 0; u < 8; ++u) any = any || F[u] != 0.0;
    rowUsed[v] = any;
    if (!any) continue;  // a row of zero coefficients adds exactly nothing below
    for (int x = 0; x < 8; ++x) {
      out[x] = F[0] * b[0][x] + F[1] * b[1][x] + F[2] * b[2][x] + F[3] * b[3][x] + F[4] * b[4][x] +
               F[5] * b[5][x] + F[6] * b[6][x] + F[7] * b[7][x];
    }
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      double sum = 0.0;
      for (int v = 0; v < 8; ++v) {
        if (rowUsed[v]) sum += b[v][y] * rows[v * 8 + x];
      }
      samples[y * 8 + x] = sum;
    }
  }
}

}  // namespace macroblock
