#include "audio/clock_resampler.h"

#include <cmath>

namespace {
// Zeros ahead of the first air sample: the first interpolation reads one sample behind its
// position, and a little slack lets the first buffer complete in the first period.
constexpr int kLead = 4;
}  // namespace

ClockResampler::ClockResampler(double ppm)
    : fifo_(kLead, 0.0f), position_(1.0), step_(1.0 / (1.0 + ppm * 1e-6)) {}

void ClockResampler::push(const float* samples, int n) { fifo_.insert(fifo_.end(), samples, samples + n); }

bool ClockResampler::pull(float* out, int count) {
  // The last output reads up to floor(position) + 2.
  double last = position_ + (count - 1) * step_;
  if (std::floor(last) + 2 >= double(fifo_.size())) return false;

  const float* x = fifo_.data();
  double p = position_;
  for (int i = 0; i < count; ++i, p += step_) {
    int k = int(p);
    float t = float(p - k);
    float xm = x[k - 1], x0 = x[k], x1 = x[k + 1], x2 = x[k + 2];
    float tm1 = t - 1.0f, tm2 = t - 2.0f, tp1 = t + 1.0f;
    out[i] = -xm * t * tm1 * tm2 * (1.0f / 6) + x0 * tp1 * tm1 * tm2 * 0.5f -
             x1 * tp1 * t * tm2 * 0.5f + x2 * tp1 * t * tm1 * (1.0f / 6);
  }
  // Keep from one sample before the next read position.
  int drop = int(p) - 1;
  fifo_.erase(fifo_.begin(), fifo_.begin() + drop);
  position_ = p - drop;
  return true;
}
