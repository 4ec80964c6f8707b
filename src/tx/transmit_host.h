#pragma once
// What the transmitter needs from the main window that owns it: the control values the frame
// builders read, the two settings of the sequencer, the output ring, the level meters, the BSR
// captions, the push-to-talk port and the controls to restore when a transmission ends.
// Like every callback interface of the program it is an abstract class that the caller holds
// by reference and never deletes (protected destructor); hooks without a do-nothing default
// are pure virtual.
#include <cstdint>

#include "core/level_peaks.h"
#include "tx/cw_identification.h"
#include "tx/frame_builders.h"

class TransmitHost {
 public:
  // Current Scale / Code combo indices, scan direction, callsign, text and pictures. Read
  // right before every frame is built, so a changed Code combo takes effect at the next frame.
  virtual const FrameSources& frameSources() = 0;
  // Settings NumCallSend (callsign frames after the first one) and NumEtxData (end frames).
  virtual int numCallSend() = 0;
  virtual int numEtxData() = 0;

  // Hands one finished output buffer to the output ring (the samples are copied or played
  // before the next buffer is synthesised).
  virtual void queueOutputBuffer(const int16_t* samples, int count) = 0;
  // Level meter: asked once per synthesised buffer; the peaks (the buffer's output peak, input
  // 0) are shown only while it shows.
  virtual bool levelDialogShowing() = 0;
  virtual void showLevelPeaks(const LevelPeaks& peaks) = 0;

  // A BSR builder has counted down its list: "Send <n> BSR" / "Resp <n> BSR".
  virtual void bsrRequestCountChanged(int count) = 0;
  virtual void bsrResponseCountChanged(int count) = 0;

  // Push-to-talk: key the transmitter (silently nothing when the port cannot be keyed) and
  // release it. The port itself knows whether it is open; closePtt must release the lines
  // whenever they are asserted.
  virtual void openPtt() = 0;
  virtual void closePtt() = 0;

  // The transmission has ended (the lines are already released, txInProgress is false and
  // missingBlockCount is restored): put the controls back into their idle state, empty the
  // callsign panel and apply the BSR caption rule.
  virtual void transmissionEnded() = 0;
  // Whether the callsign follows every transmission in Morse, and how; off by default.
  virtual CwIdentification cwIdentification() { return {}; }

 protected:
  ~TransmitHost() = default;
};
