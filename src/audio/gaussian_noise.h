#pragma once
// Deterministic white Gaussian noise: xoshiro256** seeded through splitmix64, polar-method pairs.
// The same seed gives the same sequence on every platform and standard library.
#include <cmath>
#include <cstdint>

class GaussianNoise {
 public:
  explicit GaussianNoise(uint64_t seed) {
    for (uint64_t& s : state_) {
      seed += 0x9E3779B97F4A7C15ull;
      uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      s = z ^ (z >> 31);
    }
  }

  // Adds noise of standard deviation `sigma` to n samples.
  void add(float* samples, int n, double sigma) {
    int i = 0;
    for (; i + 1 < n; i += 2) {
      double a, b;
      pair(a, b);
      samples[i] += float(sigma * a);
      samples[i + 1] += float(sigma * b);
    }
    if (i < n) {
      double a, b;
      pair(a, b);
      samples[i] += float(sigma * a);
    }
  }

 private:
  static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t next() {
    uint64_t result = rotl(state_[1] * 5, 7) * 9;
    uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotl(state_[3], 45);
    return result;
  }
  double uniform() { return double(next() >> 11) * 0x1.0p-53; }  // [0, 1)
  // Marsaglia's polar method: two independent normal deviates per accepted point.
  void pair(double& a, double& b) {
    double u, v, s;
    do {
      u = 2.0 * uniform() - 1.0;
      v = 2.0 * uniform() - 1.0;
      s = u * u + v * v;
    } while (s >= 1.0 || s == 0.0);
    double f = std::sqrt(-2.0 * std::log(s) / s);
    a = u * f;
    b = v * f;
  }

  uint64_t state_[4];
};
