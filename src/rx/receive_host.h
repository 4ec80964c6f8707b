#pragma once
// Everything the receiver calls out to: the level meters, the waterfall, the eye diagram and
// its clock overlay, the reception time-out, and the two frame events. The main window
// implements it; tests and the command-line tool use a recording host. Like every callback
// interface of the program it is an abstract class that the caller holds by reference and
// never deletes (protected destructor). The two frame events are pure virtual; the display and
// meter hooks default to doing nothing (and the level dialog to hidden), since a listener may
// want the frames only.
#include <cstdint>

#include "core/bit_buffer.h"
#include "core/level_peaks.h"

// The fields of a valid frame header, as the frame reader holds them.
struct RxFrameInfo {
  int kind = 0;             // 0..15
  bool coded = false;       // payload convolutionally coded ("CONV"), else plain ("NORM")
  bool fourLevel = false;   // payload symbols are 4L-FSK
  int col = 0;              // 0..63
  int row = 0;              // 0..63
  int scaleIndex = 0;       // 0..15; taken from the header only for kinds 0, 1, 2, 6
  int payloadLength = 0;    // L; 0 for kinds without a payload
  // The header failed as received and was read again once the frame's length was known: its
  // fields are a little less certain, so a failed payload of it must not replace a held block.
  bool headerReadAgain = false;
  friend bool operator==(const RxFrameInfo&, const RxFrameInfo&) = default;
};

// What the tolerant receiver measured on the frame being read; NaN where it has no value
// (the plain receiver measures nothing).
struct SignalEstimate {
  double offsetHz;   // carrier offset: the received tones lie this far above the sent ones
  double clockPpm;   // the receiver's sample clock against the sender's (NaN at a header)
  double snrDb;      // signal against the noise in 2500 Hz
};

class ReceiveHost {
 public:
  // Level meters: asked once per processed buffer; when true, showLevelPeaks follows with the
  // input peak and an output peak of 0, and the dialog redraws both meters.
  virtual bool levelDialogShowing() { return false; }
  virtual void showLevelPeaks(const LevelPeaks& peaks) {}
  // The 3000 gain-scaled 12 kHz samples of the buffer, before demodulation.
  virtual void waterfallStep(const double* block, int count) {}
  // Called after waterfallStep only when showWaterfall is set: show the waterfall picture.
  virtual void showWaterfall() {}
  // The block's frequency trace, its symbol-instant marks (1 at an instant) and their number.
  virtual void eyeDiagramStep(const double* freqTrace, const uint8_t* symbolMarks, int count,
                              int symbolCount) {}
  // Reception time-out: set rxModeLabel to "Time out" and run finishReception (which disarms the
  // time-out).
  virtual void onTimeout() {}
  // Called at the end of every processed buffer when showClock is set.
  virtual void drawClockOverlay() {}
  // The tolerant receiver's measures, given just before each onFrameHeader and
  // onFramePayload of the frame they belong to.
  virtual void onSignalEstimate(const SignalEstimate& estimate) {}

  // A header with a good check and version 0. The receiver has already restarted the time-out
  // counter. For kinds 3, 4 and 5 the receiver ends the frame itself after this call.
  virtual void onFrameHeader(const RxFrameInfo& info) = 0;
  // The end of a payload (every kind that did not end at its header, kinds 7-15 included,
  // which have no payload actions). `payload` holds L data bits then the 16 check bits;
  // crcGood is the check verdict.
  virtual void onFramePayload(const RxFrameInfo& info, const BitBuffer& payload, bool crcGood) = 0;

 protected:
  ~ReceiveHost() = default;
};
