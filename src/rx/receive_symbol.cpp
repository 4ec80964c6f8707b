#include "rx/receiver_state.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "rx/symbol_decision.h"
#include "rx/tone_tracker.h"

RxFrameInfo frameInfo(const FrameReaderState& f) {
  return RxFrameInfo{f.rxFrameKind, f.rxConvolutional, f.headerFourLevel, f.rxBlockCol,
                     f.rxBlockRow,  f.rxScaleIndex,    f.payloadLength, f.headerReadAgain};
}

namespace {

// Where the next frame's sync word ends, counted from the last boundary of a frame read to its
// end: 62 symbols on a clean path (two more after a four-level payload that ended on the second
// bit of its last symbol), and up to some 2.5 symbols later where an echo leads the
// receiver's clock between frames.
constexpr int kDueSymbols = kSyncLength - 1;
constexpr double kDueEarly = 5.0, kDueLate = 30.0;  // samples at 12 kHz

// Noise bandwidth of the receiver's 500-2500 Hz band-pass (half gain at the edges).
constexpr double kBandPassNoiseHz = 2000.0;

// Hands a finished header or payload to the host. A valid header restarts the time-out count
// first; end, BSR request and abort frames end at their header.
void reportFrameEvent(ReceiverState& rx, FrameEvent event, const BitBuffer& payloadBits,
                      ReceiveHost& host) {
  FrameReaderState& frame = rx.frame;
  switch (event) {
    case FrameEvent::kHeaderValid:
      rx.rxBufferCount = 0;
      host.onFrameHeader(frameInfo(frame));
      if (kindEndsAtHeader(frame.rxFrameKind)) endFrame(frame);
      break;
    case FrameEvent::kPayloadEnd:
      host.onFramePayload(frameInfo(frame), payloadBits, frame.payloadGood);
      break;
    case FrameEvent::kHeaderDropped:
    case FrameEvent::kNone:
      break;
  }
}

// The backward reading's first n values as channel values, into rx.laterChannel.
void laterAsChannel(ReceiverState& rx, int n) {
  for (int s = 0; s < n; ++s) rx.laterChannel[s] = float(softFromLlr(rx.laterReading[s]));
}

// Reads the `n` two-tone symbols before the sync word just fitted backward from it, into
// rx.laterChannel (channel values) and the returned boundary values (see readBackward).
std::span<float> readFrameBackward(ReceiverState& rx, int n, int startSign) {
  const std::span<float> ends(rx.laterEnds.data(), n);
  rx.coherent.readBackward(std::span<double>(rx.laterReading.data(), n), ends, startSign);
  laterAsChannel(rx, n);
  return ends;
}

// A coded four-level payload that failed its check, read once more as one sequence through the
// code and the carrier phase together.
void readFourLevelJointly(ReceiverState& rx, BitBuffer& payloadBits) {
  FrameReaderState& frame = rx.frame;
  CoherentDetector& detector = rx.coherent;
  const int symbols = frame.payloadLength + kCrcBits;
  if (!frame.rxConvolutional || symbols > detector.payloadSymbols || symbols > BitBuffer::kCells)
    return;
  detector.correlatePayload();
  // Frames follow each other without gaps: the next frame's sync word comes after the payload.
  // The frame ends a symbol after its last one was read, so that symbol is held already.
  using Correlations = std::array<CoherentDetector::Complex, four_level::kValues>;
  constexpr int kTail = CoherentDetector::kFourLevelTail;
  std::array<Correlations, 2 * kTail> tail;
  const int held = std::min(detector.payloadSymbols - symbols, kTail);
  std::copy_n(detector.payloadCorrelations.begin() + symbols, held, tail.begin());
  detector.correlateAhead(std::span<Correlations, kTail>(tail.data() + held, kTail));
  std::array<int, 2 * kTail> tailValues;
  for (int j = 0; j < held + kTail; ++j) tailValues[j] = 3 * syncWord()[j];
  rx.jointReader.read(detector.payloadStartTwelfths, detector.payloadStartGain,
                      std::span(detector.payloadCorrelations.data(), symbols), rx.secondBits.cells.data(),
                      std::span(tail.data(), held + kTail), std::span(tailValues.data(), held + kTail));
  if (!laterReadingPasses(std::span<const uint8_t>(rx.secondBits.cells.data(), symbols),
                          kindCarriesBlock(frame.rxFrameKind)))
    return;
  std::copy_n(rx.secondBits.cells.begin(), symbols, payloadBits.cells.begin());
  frame.payloadGood = true;
}

// A frame whose header failed, once the sync word after it has been fitted: the frame's length
// tells its payload's, with which the header is decoded again; where the header passes, it and
// its payload, read backward from the word, go to the host, a failed payload as a damaged copy
// to combine with other copies of the block.
void recoverLostFrame(ReceiverState& rx, BitBuffer& payloadBits, ReceiveHost& host) {
  const double headerEnd = rx.lostHeaderEnd;
  rx.lostHeaderEnd = 0;
  FrameReaderState& frame = rx.frame;
  const double symbols =
      (rx.coherent.wordBoundaries[0] - headerEnd) / CoherentDetector::kSymbolSpan;
  // The header's end was timed on the frame's sync word and this word on its own: where an
  // echo became the stronger path in between, the two differ by up to some 2.5 symbols.
  constexpr int kShifts[] = {0, -1, 1, -2, 2, -3, 3};
  constexpr int kLongest = kMaxPayloadChannelBits - kCodedHeaderBits - 3;
  const int estimate = std::isfinite(symbols) ? int(std::lround(symbols)) : 0;
  if (!rx.coherent.fitsSyncWord() || estimate < 4 || estimate > kLongest) {
    frame.headerLost = false;
    return;
  }
  // Read backward once through the longest payload the shifts allow and a header before it,
  // in the backward reading's own carrier sign.
  const int total = estimate + 3 + kCodedHeaderBits;
  const std::span<float> ends = readFrameBackward(rx, total, 0);
  int n = 0;
  for (const int shift : kShifts) {
    const int candidate = estimate + shift;
    const int headerFrom = total - candidate - kCodedHeaderBits;
    if (recoverLostHeader(frame, candidate, ends.subspan(headerFrom, kCodedHeaderBits))) {
      n = candidate;
      break;
    }
  }
  frame.headerLost = false;
  if (n == 0) return;
  // The payload's values, turned to the sign the header was decoded in.
  const int from = total - n;
  if (frame.headerEndSign * ends[from - 1] < 0)
    for (int s = from; s < total; ++s) ends[s] = -ends[s];
  readRecoveredPayload(frame, std::span<const float>(rx.laterChannel.data() + from, n),
                      ends.subspan(from, n), rx.secondBits, payloadBits);
  reportFrameEvent(rx, FrameEvent::kHeaderValid, payloadBits, host);
  reportFrameEvent(rx, FrameEvent::kPayloadEnd, payloadBits, host);
}

// The sync word due after a two-tone payload did not come: a frame was sent there all the same
// (frames follow each other without gaps), so its header, which ended 108 symbols after the
// word due, is taken as lost, to be read backward from the next word fitted.
void expectMissedFrame(ReceiverState& rx) {
  if (takeHeaderAsLost(rx.frame))
    rx.lostHeaderEnd = rx.syncDueAt + kCodedHeaderBits * CoherentDetector::kSymbolSpan;
}

// Hands the payload that waits for the sync word after it to the host; `readBackward` when that
// word has just been fitted, so the payload can be read backward from it first.
void settlePendingPayload(ReceiverState& rx, bool readBackward, BitBuffer& payloadBits,
                          ReceiveHost& host) {
  rx.payloadPending = false;
  FrameReaderState& frame = rx.frame;
  if (readBackward) {
    const int n = int(payloadChannelSoft(frame).size());
    std::span<float> ends;  // a four-level reading has no boundary values
    if (frame.headerFourLevel) {
      rx.coherent.readFourLevelBackward(std::span<double>(rx.laterReading.data(), n),
                                        rx.coherent.fourLevelFlat);
      laterAsChannel(rx, n);
    } else {
      ends = readFrameBackward(rx, n, frame.headerEndSign);
    }
    adoptLaterReading(frame, std::span<const float>(rx.laterChannel.data(), n), ends,
                      std::span<const float>(rx.secondReading.data(), n), rx.secondBits, payloadBits);
  }
  reportFrameEvent(rx, FrameEvent::kPayloadEnd, payloadBits, host);
}

}  // namespace

void receiveSymbol(ReceiverState& rx, double d, BitBuffer& payloadBits, ReceiveHost& host) {
  FrameReaderState& frame = rx.frame;
  if (rx.payloadPending) settlePendingPayload(rx, false, payloadBits, host);
  // The number of bits is fixed at entry: a frame may end on the first bit of a pair, and the
  // second bit then goes to the sync search.
  const SymbolBits symbol = decideSymbol(d, frame.rxFourLevel);
  for (int i = 0; i < symbol.count(); ++i) {
    if (!frame.inFrame) {
      // Outside a frame every bit is the symbol's one-bit decision.
      if (rx.sync.push(symbol.hard)) startFrame(frame, payloadBits);
      continue;
    }
    const FrameEvent event =
        frameBitStep(frame, symbol.bits[i], d, symbol.fourLevel, payloadBits);
    reportFrameEvent(rx, event, payloadBits, host);
  }
}

void receiveTrackedSymbol(ReceiverState& rx, const SymbolDetector::Reading& reading,
                          BitBuffer& payloadBits, ReceiveHost& host, bool coherent) {
  FrameReaderState& frame = rx.frame;
  ToneTracker& tones = rx.tones;
  const double x = reading.whole, d = reading.trace;
  const double position = rx.blockStart + reading.position;
  const double boundary = CoherentDetector::boundaryAt(position);
  if (coherent) rx.coherent.record(boundary);
  tones.push(x, frame.inFrame);
  rx.traceTones.push(d, frame.inFrame);
  const bool fourLevel = frame.rxFourLevel;
  double soft[2] = {0.0, 0.0};
  double second[2] = {0.0, 0.0};  // the other reading, in the coherent receiver
  if (frame.inFrame) {
    rx.measures.add(position, reading.power);
    if (fourLevel) {
      rx.traceTones.fourLevelSoft(d, soft);
      double llr[2];
      if (coherent) {
        const bool read = rx.coherent.fourLevelLlrs(boundary, llr);
        for (int i = 0; i < 2; ++i) {
          const double own = softFromLlr(llr[i]);
          second[i] = read ? soft[i] : own;
          soft[i] = read ? own : soft[i];
        }
      }
    } else {
      soft[0] = tones.mskSoft(x);
      rx.traceTones.mskSoft(d);
      if (coherent) {
        // The second reading of a payload: the coherent receiver's own where it makes one,
        // else the tolerant receiver's value.
        second[0] = soft[0];
        soft[0] = softFromLlr(rx.coherent.detect(boundary, frame.readingHeader()));
        if (rx.coherent.readsSecond()) second[0] = softFromLlr(rx.coherent.secondBit);
      }
    }
  }
  const int count = fourLevel ? 2 : 1;
  // Frames follow each other without gaps, so a frame read to its end tells where the next
  // sync word ends: the symbols read in a window there are the word's candidates.
  bool syncDue = false;
  if (coherent && rx.syncDueAt > 0 && boundary > rx.syncDueAt - kDueEarly) {
    syncDue = boundary <= rx.syncDueAt + kDueLate;
    if (!syncDue) {
      if (rx.payloadBeforeDueWord && !frame.inFrame) expectMissedFrame(rx);
      rx.syncDueAt = 0;
    }
  }
  // Overdue, or another receiver chosen meanwhile: the waiting payload goes on as it is.
  if (rx.payloadPending && (!coherent || (!syncDue && rx.syncDueAt == 0)))
    settlePendingPayload(rx, false, payloadBits, host);
  for (int i = 0; i < count; ++i) {
    if (!frame.inFrame) {
      // The coherent receiver searches both its own decisions and the tolerant ones: each
      // finds sync words the other misses (noise against echoes).
      const int threshold = coherent ? kLooseSyncThreshold : kSyncThreshold;
      const bool tolerantMatch = rx.sync.push(tones.hardOutside(x), threshold);
      const bool coherentMatch =
          coherent && rx.coherent.sync.push(rx.coherent.differentialBit(), threshold);
      const bool due = syncDue && i == 0 &&
                       std::max(rx.sync.syncScore, rx.coherent.sync.syncScore) > kDueSyncScore;
      // Weak words are found by reading them coherently, where no word is due: there the due
      // window finds it at the boundary the last frame predicts.
      const bool coherentWord =
          coherent && rx.syncDueAt == 0 &&
          rx.coherent.syncCorrelation() > CoherentDetector::kSyncCorrelationThreshold;
      if (tolerantMatch || coherentMatch || due || coherentWord) {
        // A word the equalizer cannot fit is no sync word (or not where it seemed to end):
        // the search goes on rather than lose the real one behind a header that fails.
        if (coherent) rx.coherent.train();
        if (coherent && !rx.coherent.fitsSyncWord() && !due) continue;
        if (rx.payloadPending)
          settlePendingPayload(rx, rx.coherent.fitsSyncWord(), payloadBits, host);
        if (rx.lostHeaderEnd > 0 && coherent) recoverLostFrame(rx, payloadBits, host);
        rx.lostHeaderEnd = 0;
        rx.syncDueAt = 0;
        tones.fitSync();
        rx.traceTones.fitSync();
        rx.measures.start(position);
        startFrame(frame, payloadBits);
        frame.boundaryValues = coherent && rx.coherent.boundaryDecoding;
      }
      continue;
    }
    if (coherent && !frame.readingHeader() && frame.payloadBitIndex < kMaxPayloadChannelBits)
      rx.secondReading[frame.payloadBitIndex] = float(second[i]);
    if (coherent && !fourLevel)
      frameBoundaryValues(frame, rx.coherent.firstValue, rx.coherent.secondValue);
    const FrameEvent event = frameChannelStep(frame, soft[i], payloadBits);
    if (coherent && event == FrameEvent::kHeaderDropped && frame.headerLost && !fourLevel)
      rx.lostHeaderEnd = rx.coherent.lastBoundary;
    if (coherent && event == FrameEvent::kPayloadEnd && !frame.payloadGood && fourLevel)
      readFourLevelJointly(rx, payloadBits);
    if (coherent && event == FrameEvent::kPayloadEnd && !frame.payloadGood) {
      // A copy that fails both readings is kept, for combining, as the reading that measured
      // the smaller error read it.
      const bool secondCloser = rx.coherent.narrowFirst && rx.coherent.noise < rx.coherent.narrowNoise;
      adoptSecondReading(frame, rx.secondReading, rx.secondBits, payloadBits, secondCloser);
      rx.payloadPending = !frame.payloadGood && (!fourLevel || rx.coherent.readingEcho);
    }
    if (coherent && (event == FrameEvent::kPayloadEnd || (event == FrameEvent::kHeaderValid &&
                                                           kindEndsAtHeader(frame.rxFrameKind)))) {
      rx.syncDueAt = rx.coherent.lastBoundary + (kDueSymbols + (fourLevel && i == 1 ? 2 : 0)) *
                                                    CoherentDetector::kSymbolSpan;
      rx.payloadBeforeDueWord = event == FrameEvent::kPayloadEnd && !fourLevel;
    }
    if (event == FrameEvent::kHeaderValid || event == FrameEvent::kPayloadEnd)
      host.onSignalEstimate(rx.measures.estimate(tones));
    if (!rx.payloadPending) reportFrameEvent(rx, event, payloadBits, host);
  }
}

void FrameMeasures::start(double position) {
  *this = FrameMeasures{};
  syncPosition = lastPosition = position;
}

void FrameMeasures::add(double position, double power) {
  lastPosition = position;
  ++symbols;
  if (!std::isfinite(power)) return;
  m2 += power;
  m4 += power * power;
  ++powerCount;
}

SignalEstimate FrameMeasures::estimate(const ToneTracker& tones) const {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  SignalEstimate e{tones.offsetHz(), nan, nan};
  // Clock: only over a long enough stretch (a header alone is too short to tell 100 ppm).
  if (symbols >= 400)
    e.clockPpm = ((lastPosition - syncPosition) / (symbols * 10.0) - 1.0) * 1e6;
  if (powerCount > 0) {
    // Constant envelope S in complex Gaussian noise N: M2 = S + N, M4 = S^2 + 4 S N + 2 N^2.
    const double M2 = m2 / powerCount, M4 = m4 / powerCount;
    const double s = std::sqrt(std::max(0.0, 2.0 * M2 * M2 - M4));
    const double n = M2 - s;
    // The receiver's band-pass passes about 2000 Hz of noise; the SNR counts 2500 Hz.
    if (n > 0) e.snrDb = 10.0 * std::log10(s / (n * 2500.0 / kBandPassNoiseHz));
  }
  return e;
}
