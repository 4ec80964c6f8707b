#pragma once
// Whether the channel is free for an automatic transmission. A buffer counts as busy when a
// frame is being read, when a sync word was found in it, or when its energy between 500 and
// 2500 Hz stands more than kBusyMarginDb above the noise floor. The channel is free once
// `holdBuffers` buffers in a row were not busy. Time is counted in received buffers.
//
// The noise floor is the lowest in-band energy of the buffers of the last kFloorBuffers (2 min)
// in which no frame was read and no sync word found, so it drops at once when a signal ends,
// follows a rising noise within that window, and is not lifted by a long picture on the air.
// Buffers of digital silence (a muted input, a sound card that plays nothing) take no part.
#include <array>

// Above the floor by more than this the channel is taken for busy. Measured on simulated air
// (tests/e2e/automatic_operation_test.cpp): white noise alone stays within about 1.2 dB of the
// floor, a station at 0 dB SNR lifts the band by 2.45 dB or more (see README, "A free channel").
inline constexpr double kBusyMarginDb = 2.0;
inline constexpr int kFloorBuffers = 480;

class BandEnergy {
 public:
  // Mean square of the 12 kHz block after a 500-2500 Hz band-pass (two second-order sections,
  // carried across blocks).
  double measure(const double* block, int count);

 private:
  struct Section {
    double b0, b1, b2, a1, a2;
    double z1 = 0, z2 = 0;
    double run(double x) {
      const double y = b0 * x + z1;
      z1 = b1 * x - a1 * y + z2;
      z2 = b2 * x - a2 * y;
      return y;
    }
  };
  static Section highPass(double hz);
  static Section lowPass(double hz);
  Section high_ = highPass(500), high2_ = highPass(500), low_ = lowPass(2500), low2_ = lowPass(2500);
};

class FreeChannel {
 public:
  // One received buffer: its conditioned 12 kHz samples, whether a frame is being read at its
  // end, and the receiver's count of sync words found so far.
  void update(const double* block, int count, bool frameOpen, unsigned syncWordsFound);
  // A transmission of this station (nothing is received meanwhile): the hold starts afresh.
  void restart() { freeBuffers_ = 0; }

  bool freeFor(int holdBuffers) const { return freeBuffers_ >= holdBuffers; }
  bool busy() const { return freeBuffers_ == 0; }
  // The last buffer's in-band energy and the floor, in dB (for the busy margin's measurement).
  double levelDb() const;
  double floorDb() const;

 private:
  BandEnergy band_;
  std::array<double, kFloorBuffers> recent_{};  // in-band energies, 0 = silent or not yet seen
  int next_ = 0;
  double level_ = 0;
  double floor_ = 0;
  unsigned lastSyncCount_ = 0;
  int freeBuffers_ = 0;
};
