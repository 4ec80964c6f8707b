#include "rx/input_conditioning.h"

#include <algorithm>

#include "rx/receive_filters.h"

void conditionInput(InputConditioningState& state,
                    std::span<const int16_t, kInputBufferSamples> samples, double inputGain) {
  constexpr int kLead = kFilterTaps - 1;
  double* line = state.line.data();
  for (int n = 0; n < kInputBufferSamples; ++n) line[kLead + n] = static_cast<double>(samples[n]);

  double* out = state.decimatedBlock.data();
  firBlock(receiverInputTaps(), line, kBlockSamples, kDecimation, out);
  for (int i = 0; i < kBlockSamples; ++i) out[i] *= inputGain;

  // Keep the last 50 samples as the history of the next buffer.
  std::copy(line + kInputBufferSamples, line + kInputBufferSamples + kLead, line);
}

double inputPeak(std::span<const double, kBlockSamples> block) {
  double peak = 0.0;
  for (double v : block)
    if (v > peak) peak = v;
  return peak;
}
