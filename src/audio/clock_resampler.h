#pragma once
// A receiver whose sample clock runs `ppm` parts per million faster than the sender's takes
// (1 + ppm 1e-6) samples where the sender made one: the signal is stretched in time and its
// frequencies drop by the same ratio. The air samples are read at steps of 1 / (1 + ppm 1e-6)
// with 4-point (cubic Lagrange) interpolation; the position carries across buffers. Because the
// two clocks differ, a buffer period of air yields a receiver buffer not quite every time: a
// faster receiver now and then completes two in one period, a slower one none.
#include <vector>

class ClockResampler {
 public:
  explicit ClockResampler(double ppm);

  // Appends n air samples.
  void push(const float* samples, int n);
  // Writes the next `count` receiver samples when enough air has arrived; false otherwise.
  bool pull(float* out, int count);

 private:
  std::vector<float> fifo_;
  double position_;  // read position in fifo_
  double step_;
};
