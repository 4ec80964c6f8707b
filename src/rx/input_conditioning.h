#pragma once
// First stage of the receiver: one captured buffer of 12000 16-bit samples at 48000 Hz becomes
// 3000 gain-scaled samples at 12000 Hz. The 51-tap half-band filter runs continuously across
// buffers; only the outputs kept by the 4:1 decimation are computed.
#include <array>
#include <cstdint>
#include <span>

#include "framing/filter_tables.h"

inline constexpr int kInputBufferSamples = 12000;
inline constexpr int kDecimation = 4;
inline constexpr int kBlockSamples = kInputBufferSamples / kDecimation;  // 3000 at 12 kHz

struct InputConditioningState {
  // The 50 samples before the current buffer (oldest first), then the current buffer converted
  // to doubles. Entries 0..49 are the filter's history and carry over to the next buffer.
  std::array<double, kFilterTaps - 1 + kInputBufferSamples> line{};
  // Every fourth filtered sample times the input gain.
  std::array<double, kBlockSamples> decimatedBlock{};
};

// Converts, filters and decimates one buffer into state.decimatedBlock.
void conditionInput(InputConditioningState& state,
                    std::span<const int16_t, kInputBufferSamples> samples, double inputGain);

// The largest decimated value, starting from 0 (a signed maximum: a block without a positive
// sample gives 0), as shown on the input level meter.
double inputPeak(std::span<const double, kBlockSamples> block);
