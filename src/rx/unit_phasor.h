#pragma once
// e^(i angle), the same numbers as std::polar(1.0, angle) (the C library's sincos gives the sine
// and cosine the separate calls give), for half the cost where the compiler keeps the two calls
// apart.
#include <cmath>
#include <complex>

inline std::complex<double> unitPhasor(double angle) {
  double sine, cosine;
  ::sincos(angle, &sine, &cosine);
  return {cosine, sine};
}
