#include "rx/receiver_state.h"
#include "rx/symbol_decision.h"
#include "rx/tone_tracker.h"

RxFrameInfo frameInfo(const FrameReaderState& f) {
  return RxFrameInfo{f.rxFrameKind, f.rxConvolutional, f.headerFourLevel, f.rxBlockCol,
                     f.rxBlockRow,  f.rxScaleIndex,    f.payloadLength};
}

namespace {

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

}  // namespace

void receiveSymbol(ReceiverState& rx, double d, BitBuffer& payloadBits, ReceiveHost& host) {
  FrameReaderState& frame = rx.frame;
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

void receiveTrackedSymbol(ReceiverState& rx, double x, double d, BitBuffer& payloadBits,
                          ReceiveHost& host) {
  FrameReaderState& frame = rx.frame;
  ToneTracker& tones = rx.tones;
  tones.push(x, frame.inFrame);
  rx.traceTones.push(d, frame.inFrame);
  const bool fourLevel = frame.rxFourLevel;
  double soft[2] = {0.0, 0.0};
  if (frame.inFrame) {
    if (fourLevel) {
      rx.traceTones.fourLevelSoft(d, soft);
    } else {
      soft[0] = tones.mskSoft(x);
      rx.traceTones.mskSoft(d);
    }
  }
  const int count = fourLevel ? 2 : 1;
  for (int i = 0; i < count; ++i) {
    if (!frame.inFrame) {
      if (rx.sync.push(tones.hardOutside(x))) {
        tones.fitSync();
        rx.traceTones.fitSync();
        startFrame(frame, payloadBits);
      }
      continue;
    }
    reportFrameEvent(rx, frameChannelStep(frame, soft[i], payloadBits), payloadBits, host);
  }
}
