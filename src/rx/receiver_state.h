#pragma once
// All receiver state, allocated once by its owner and kept for the whole run, and the symbol
// routine that joins the demodulator to the sync search and the frame reader.
#include "core/bit_buffer.h"
#include "rx/coherent_detector.h"
#include "rx/demodulator.h"
#include "rx/four_level_joint.h"
#include "rx/frame_reader.h"
#include "rx/input_conditioning.h"
#include "rx/receive_host.h"
#include "rx/symbol_detector.h"
#include "rx/sync_search.h"
#include "rx/tone_tracker.h"

// Measures of the frame being read by the tolerant receiver: the reading points from the sync
// word on (their spacing against 10 samples gives the clock offset) and the moments of the
// signal envelope (constant for FSK, so the second and fourth moments separate the signal
// from the noise).
struct FrameMeasures {
  double syncPosition = 0;  // absolute sample position of the sync word's last reading
  double lastPosition = 0;
  int symbols = 0;
  double m2 = 0, m4 = 0;
  int powerCount = 0;

  void start(double position);
  void add(double position, double power);
  SignalEstimate estimate(const ToneTracker& tones) const;
};

struct ReceiverState {
  InputConditioningState input;
  DemodulatorState demod;
  SyncSearch sync;
  FrameReaderState frame;
  // The tolerant receiver's own stages (unused by the specified one).
  SymbolDetector detector;
  ToneTracker tones;       // levels of the detector's values: sync, header, MSK payloads
  ToneTracker traceTones;  // levels of the frequency trace: four-level payloads
  FrameMeasures measures;
  // The coherent receiver's two-tone detector (unused by the other two).
  CoherentDetector coherent;
  // The coherent receiver keeps the tolerant reading of each payload beside its own (channel
  // values in the order received) and decodes it when its own fails the check: where the
  // frame's channel was misjudged, or where the equalizer lost its way, the other reading may
  // still hold.
  std::array<float, kMaxPayloadChannelBits> secondReading{};
  BitBuffer secondBits;
  // A payload that failed both readings (a two-tone one, or a four-level one read through the
  // channel fit) waits for the sync word after it (the frame reader's state and the payload
  // bits stay as they were) and is then read a third time, backward from that word, before the
  // host hears of it; where no word comes, it is handed on as it is once the word is overdue.
  bool payloadPending = false;
  four_level::JointReader jointReader;  // a failed coded four-level payload's last reading
  std::array<double, kMaxPayloadChannelBits> laterReading{};  // log-likelihood ratios
  std::array<float, kMaxPayloadChannelBits> laterChannel{};  // as channel values
  std::array<float, kMaxPayloadChannelBits> laterEnds{};  // at the symbols' end boundaries
  // Where the header of the last frame ended when that header failed its check (absolute
  // sample position of its last boundary; 0 when none): once the next sync word is fitted, the
  // frame's length is known, and its header and payload can be read again.
  double lostHeaderEnd = 0;
  // Where the next frame's sync word ends (absolute sample position of its last boundary), known
  // from the end of a frame read to its length: frames follow each other without gaps. 0 when
  // not known. The coherent receiver opens a frame there even when the word was read with too
  // many wrong bits to stand out by itself; the header's check decides.
  double syncDueAt = 0;
  // The frame read to its end before the word due had a two-tone payload (a block, a callsign,
  // a text): where that word is missed (lost in a fade), the frame behind it is read once the
  // next word is fitted, like a frame whose header failed (its header then ended 108 symbols
  // after the word due).
  bool payloadBeforeDueWord = false;
  double blockStart = 0;   // absolute sample position of the current block's first sample
  // Buffers processed since the last valid frame header; restarted by the receiver at every
  // valid header.
  int rxBufferCount = 0;
  // True while a reception is expected to go on; set and cleared by the frame actions and
  // finishReception. Only while it is set does the time-out fire.
  bool rxTimeoutArmed = false;
};

// The header fields of the frame being read.
RxFrameInfo frameInfo(const FrameReaderState& frame);

// Decides one symbol and passes its bit (or its two bits in a four-level payload) to the sync
// search or, inside a frame, to the frame reader; frame events go to the host as they occur.
void receiveSymbol(ReceiverState& rx, double d, BitBuffer& payloadBits, ReceiveHost& host);

// The tolerant receiver's symbol routine: x is the detector's symbol value and d the frequency
// trace at the symbol instant. Two-tone symbols are read from x; four-level symbols from d,
// whose low-pass smoothing copes better with the clock's jitter between the closer levels.
// Decisions are made about the measured carrier offset with levels scaled from the measured
// deviation, and every bit goes to the frame reader as a soft value scaled by the measured
// noise.
//
// With `coherent` set, symbols inside a frame are read by the coherent detector instead
// (trained at every sync word), and the sync search also runs on its own decisions.
void receiveTrackedSymbol(ReceiverState& rx, const SymbolDetector::Reading& reading,
                          BitBuffer& payloadBits, ReceiveHost& host, bool coherent = false);
