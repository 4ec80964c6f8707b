#include "rx/receiver_state.h"
#include "rx/symbol_decision.h"

RxFrameInfo frameInfo(const FrameReaderState& f) {
  return RxFrameInfo{f.rxFrameKind, f.rxConvolutional, f.headerFourLevel, f.rxBlockCol,
                     f.rxBlockRow,  f.rxScaleIndex,    f.payloadLength};
}

void receiveSymbol(ReceiverState& rx, double d, BitBuffer& payloadBits, ReceiveHost& host) {
  FrameReaderState& frame = rx.frame;
  const int hard = mskBit(d);
  // The number of bits is fixed at entry: a frame may end on the first bit of a pair.
  const bool fourLevel = frame.rxFourLevel;
  int bits[2] = {hard, 0};
  int count = 1;
  if (fourLevel) {
    const BitPair pair = fourLevelPair(d);
    bits[0] = pair.first;
    bits[1] = pair.second;
    count = 2;
  }

  for (int i = 0; i < count; ++i) {
    if (!frame.inFrame) {
      // Outside a frame every bit is the symbol's one-bit decision.
      if (rx.sync.push(hard)) startFrame(frame, payloadBits);
      continue;
    }
    switch (frameBitStep(frame, bits[i], d, fourLevel, payloadBits)) {
      case FrameEvent::kHeaderValid: {
        rx.rxBufferCount = 0;
        host.onFrameHeader(frameInfo(frame));
        if (kindEndsAtHeader(frame.rxFrameKind)) endFrame(frame);
        break;
      }
      case FrameEvent::kPayloadEnd:
        host.onFramePayload(frameInfo(frame), payloadBits, frame.payloadGood);
        break;
      case FrameEvent::kHeaderDropped:
      case FrameEvent::kNone:
        break;
    }
  }
}
