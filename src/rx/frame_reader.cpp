#include "rx/frame_reader.h"

#include <span>

namespace {

// Feeds one soft value to the decoder; a delivered bit is written to bits[count] and count
// grows (never past capacity).
void decodeInto(ViterbiDecoder& decoder, int soft, uint8_t* bits, int capacity, int& count) {
  const int bit = decoder.addInput(soft);
  if (decoder.outputReady() && count < capacity) bits[count++] = static_cast<uint8_t>(bit);
}

// Neutral inputs until `wanted` bits have come out of the decoder.
void flushInto(ViterbiDecoder& decoder, uint8_t* bits, int capacity, int wanted, int& count) {
  if (wanted > capacity) wanted = capacity;
  while (count < wanted) decodeInto(decoder, 0, bits, capacity, count);
}

// Truncates a soft value toward zero, clamped far outside anything the discriminator gives.
int softInput(double v) {
  if (!(v > -1e6)) return -1000000;  // also catches NaN
  if (v > 1e6) return 1000000;
  return static_cast<int>(v);
}

void headerEnd(FrameReaderState& s, FrameEvent& event) {
  flushInto(s.decoder, s.headerBits.data(), kHeaderBits, kHeaderBits, s.decodedBitCount);
  s.decoder.resetDecoder();
  s.rxScramblerPos = 0;
  s.decodedBitCount = 0;

  const std::span<const uint8_t> bits(s.headerBits);
  if (!crcCheckPasses(bits)) {
    endFrame(s);
    event = FrameEvent::kHeaderDropped;
    return;
  }
  const FrameHeader h = unpackHeader(bits);
  if (h.version != 0) {
    endFrame(s);
    event = FrameEvent::kHeaderDropped;
    return;
  }
  s.headerVersion = h.version;
  s.rxFrameKind = h.kind;
  s.rxConvolutional = h.coded;
  s.rxFourLevel = h.fourLevel;
  s.headerFourLevel = h.fourLevel;
  s.rxBlockCol = h.blockCol;
  s.rxBlockRow = h.blockRow;
  if (kindHasPayload(h.kind)) {
    s.rxScaleIndex = h.scaleIndex;
    s.payloadLength = h.payloadLength;
  }
  event = FrameEvent::kHeaderValid;
}

void payloadEnd(FrameReaderState& s, BitBuffer& payloadBits) {
  endFrame(s);
  int checked = s.payloadLength + kCrcBits;
  if (checked > BitBuffer::kCells) checked = BitBuffer::kCells;
  if (s.rxConvolutional)
    flushInto(s.decoder, payloadBits.cells.data(), BitBuffer::kCells, checked, s.decodedBitCount);
  s.payloadGood = crcCheckPasses(std::span<const uint8_t>(payloadBits.cells.data(), checked));
}

}  // namespace

void startFrame(FrameReaderState& state, BitBuffer& payloadBits) {
  state.inFrame = true;
  state.frameBitIndex = -kCodedHeaderBits;
  state.payloadLength = 0;
  state.decoder.resetDecoder();
  state.decodedBitCount = 0;
  state.rxScramblerPos = 0;
  payloadBits.cells.fill(0);
}

FrameEvent frameBitStep(FrameReaderState& s, int bit, double d, bool fourLevelBit,
                        BitBuffer& payloadBits) {
  FrameEvent event = FrameEvent::kNone;

  // Descramble: an MSK bit becomes a soft value (positive = 0), a four-level bit a hard bit.
  const int p = scramblerSequence()[s.rxScramblerPos];
  double v = 0.0;
  if (fourLevelBit)
    bit = (bit ^ p) & 1;
  else
    v = p == 1 ? d * 100.0 : d * -100.0;
  if (++s.rxScramblerPos == kScramblerLength) s.rxScramblerPos = 0;

  const int soft = fourLevelBit ? (bit == 0 ? 1 : -1) : softInput(v);
  if (s.frameBitIndex < 0) {
    decodeInto(s.decoder, soft, s.headerBits.data(), kHeaderBits, s.decodedBitCount);
  } else {
    if (s.rxConvolutional) {
      decodeInto(s.decoder, soft, payloadBits.cells.data(), BitBuffer::kCells, s.decodedBitCount);
    } else if (s.frameBitIndex < BitBuffer::kCells) {
      const int hard = fourLevelBit ? bit : (v < 0 ? 1 : 0);
      payloadBits.cells[s.frameBitIndex] = static_cast<uint8_t>(hard);
    }
    const int perBit = s.rxConvolutional ? 2 : 1;
    if (s.frameBitIndex == (s.payloadLength + kCrcBits) * perBit) {
      payloadEnd(s, payloadBits);
      event = FrameEvent::kPayloadEnd;
    }
  }

  if (s.frameBitIndex == -1) headerEnd(s, event);
  if (s.frameBitIndex > kMaxPayloadChannelBits - 1) endFrame(s);
  ++s.frameBitIndex;
  return event;
}
