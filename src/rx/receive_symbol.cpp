#include "rx/receiver_state.h"
#include "rx/symbol_decision.h"

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
