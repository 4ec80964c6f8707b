#include "rx/frame_reader.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "core/scale_table.h"
#include "imaging/macroblock_codec.h"

namespace {

// One channel bit after descrambling: the decoder input (positive for 0, negative for 1), the
// value it was truncated from, and the hard bit a plain payload stores.
struct ChannelBit {
  int soft;
  int hard;
  double value;
};

// Truncates a soft value toward zero, clamped far outside anything the discriminator gives.
int softInput(double v) {
  if (!(v > -1e6)) return -1000000;  // also catches NaN
  if (v > 1e6) return 1000000;
  return static_cast<int>(v);
}

// A channel value as kept for combining: within the decoder's input range, NaN as no
// information, so that a sum of copies stays finite.
float keptValue(double v) {
  if (std::isnan(v)) return 0.0f;
  return static_cast<float>(std::clamp(v, -1e6, 1e6));
}

// Undoes the scrambler at the current position and advances it. `channelSoft` is the
// received channel bit as a signed confidence, positive for 1; the decoder input is it with
// the sign flipped where the scrambler bit is 0 (positive then means a descrambled 0), and the
// hard bit is 1 when that input is negative.
ChannelBit descramble(FrameReaderState& s, double channelSoft) {
  const int p = scramblerSequence()[s.rxScramblerPos];
  if (++s.rxScramblerPos == kScramblerLength) s.rxScramblerPos = 0;
  const double v = p == 1 ? channelSoft : -channelSoft;
  return {softInput(v), v < 0 ? 1 : 0, v};
}

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

// Paths of the boundary decoding tried against the check, best first: the check's 16 bits
// bound the chance that one of them passes by mistake to 4 in 65536 per failed run.
constexpr int kListPaths = 4;

// Decodes `count` bits from boundary values into s.signDecoded and looks for a path among the
// best few whose check passes (as a later reading of a block's payload with `block`); true with
// `endSign` set when one does.
bool decodeBoundaryValues(FrameReaderState& s, std::span<const float> values, int startSign,
                          int count, int& endSign, KnownBits known = {}, bool block = false) {
  uint8_t* decoded = s.signDecoded.data();
  const std::span<const uint8_t> bits(decoded, count);
  endSign = s.signDecoder.decode(values, startSign, count, decoded, known);
  for (int rank = 1; !laterReadingPasses(bits, block); ++rank) {
    if (rank == kListPaths) return false;
    endSign = s.signDecoder.alternative(rank, decoded);
  }
  return true;
}

// The header bits that a picture's block frames share: version and the high bits of the kind
// (both 0 for an image or a re-sent block), code, mode and scale, and the high bits of column
// and row, which a picture of 20 x 15 blocks never sets. Nothing for a header outside that.
KnownBits blockHeaderBits(const FrameHeader& h) {
  if (h.blockCol >= 32 || h.blockRow >= 16) return {};
  // The held fields' bits set, packed like a header (its check bits are not held).
  const auto held = packHeader({0xF, 0b1100, true, true, 0b100000, 0b110000, 0xF, 0});
  const auto bits = packHeader(h);
  KnownBits known;
  for (int i = 0; i < kHeaderFieldBits; ++i) {
    known.mask |= uint64_t(held[i]) << i;
    known.values |= uint64_t(held[i] & bits[i]) << i;
  }
  return known;
}

// The field bits of `fields` set in a header, as a mask of the 38 field bits.
uint64_t fieldMask(const FrameHeader& fields) {
  const auto bits = packHeader(fields);
  uint64_t mask = 0;
  for (int i = 0; i < kHeaderFieldBits; ++i) mask |= uint64_t(bits[i]) << i;
  return mask;
}

// Whether the held bits are those of a two-tone block header, whose payload length a frame's
// extent tells.
bool twoToneBlocksExpected(KnownBits expected) {
  const uint64_t codeBit = fieldMask({0, 0, true, false, 0, 0, 0, 0});
  const uint64_t levelBit = fieldMask({0, 0, false, true, 0, 0, 0, 0});
  return (expected.mask & codeBit) != 0 && (expected.mask & levelBit) != 0 &&
         (expected.values & levelBit) == 0;
}

// Decodes the header from the boundary values of each reading, holding the `known` bits; on a
// check that passes, its bits become the header's.
bool decodeHeaderBoundaryValues(FrameReaderState& s, KnownBits known) {
  for (const auto& values : s.headerValues) {
    int end = 0;
    // The value at the sync word's last boundary is +1.
    if (decodeBoundaryValues(s, values, 1, kHeaderBits, end, known)) {
      std::copy_n(s.signDecoded.begin(), kHeaderBits, s.headerBits.begin());
      s.headerEndSign = end;
      return true;
    }
  }
  return false;
}

// A valid header's fields become the frame's.
void takeHeader(FrameReaderState& s, const FrameHeader& h) {
  s.headerVersion = h.version;
  s.rxFrameKind = h.kind;
  s.rxConvolutional = h.coded;
  s.rxFourLevel = h.fourLevel;
  s.headerFourLevel = h.fourLevel;
  s.rxBlockCol = h.blockCol;
  s.rxBlockRow = h.blockRow;
  if (h.kind == kFrameImageBlock || h.kind == kFrameBsrResponse)
    s.expectedBlockHeader = blockHeaderBits(h);
  if (kindHasPayload(h.kind)) {
    s.rxScaleIndex = h.scaleIndex;
    s.payloadLength = h.payloadLength;
  }
}

// Channel values as received, descrambled into `out` (the payload's scrambler starts afresh
// after the header).
void descrambleInto(std::span<const float> channel, float* out) {
  for (size_t i = 0; i < channel.size(); ++i) {
    const double v = channel[i];
    out[i] = keptValue(scramblerSequence()[i % kScramblerLength] == 1 ? v : -v);
  }
}

// Decodes a payload from descrambled channel values (as payloadSoft holds them). When its check
// passes, its bits and values become the payload's and the verdict turns good; otherwise only
// with `keepValues` do its values replace the payload's.
bool adoptValues(FrameReaderState& state, std::span<const float> values, BitBuffer& scratch,
                 BitBuffer& payloadBits, bool keepValues) {
  const bool good = decodePayloadSoft(values, state.rxConvolutional, state.payloadLength,
                                      kindCarriesBlock(state.rxFrameKind), state.decoder, scratch);
  if (good) {
    const int checked = std::min(state.payloadLength + kCrcBits, BitBuffer::kCells);
    std::copy_n(scratch.cells.begin(), checked, payloadBits.cells.begin());
    state.payloadGood = true;
  }
  if (good || keepValues) std::copy(values.begin(), values.end(), state.payloadSoft.begin());
  return good;
}

// After the 108th coded header bit: flush the decoder, check and unpack the header, and set
// the decoder and scrambler up for the payload.
FrameEvent finishHeader(FrameReaderState& s) {
  flushInto(s.decoder, s.headerBits.data(), kHeaderBits, kHeaderBits, s.decodedBitCount);
  s.decoder.resetDecoder();
  s.rxScramblerPos = 0;
  s.decodedBitCount = 0;

  s.headerEndSign = 0;
  if (s.boundaryValues && !decodeHeaderBoundaryValues(s, {}) && s.expectedBlockHeader.mask != 0)
    decodeHeaderBoundaryValues(s, s.expectedBlockHeader);
  const std::span<const uint8_t> bits(s.headerBits);
  const bool checked = crcCheckPasses(bits);
  s.headerLost = !checked && s.boundaryValues && twoToneBlocksExpected(s.expectedBlockHeader);
  if (!checked) {
    endFrame(s);
    return FrameEvent::kHeaderDropped;
  }
  const FrameHeader h = unpackHeader(bits);
  if (h.version != 0) {
    endFrame(s);
    return FrameEvent::kHeaderDropped;
  }
  takeHeader(s, h);
  return FrameEvent::kHeaderValid;
}

// Decodes a coded two-tone payload from one reading's values at its symbols' end boundaries,
// from the carrier sign at the header's end; true with the bits in payloadBits when one of the
// best paths passes the check.
bool decodePayloadBoundaryValues(FrameReaderState& s, std::span<const float> values,
                                 BitBuffer& payloadBits) {
  const int checked = std::min(s.payloadLength + kCrcBits, BitBuffer::kCells);
  if (!s.rxConvolutional || !s.boundaryValues || s.headerFourLevel || s.headerEndSign == 0 ||
      checked > CarrierSignDecoder::kMaxSteps)
    return false;
  const int n = std::min({2 * checked, kMaxPayloadChannelBits, int(values.size())});
  int end = 0;
  if (!decodeBoundaryValues(s, values.first(n), s.headerEndSign, checked, end, {},
                            kindCarriesBlock(s.rxFrameKind)))
    return false;
  std::copy_n(s.signDecoded.begin(), checked, payloadBits.cells.begin());
  return true;
}

// Ends the frame, flushes a coded payload until all L + 16 bits are out and checks them.
void finishPayload(FrameReaderState& s, BitBuffer& payloadBits) {
  endFrame(s);
  int checked = s.payloadLength + kCrcBits;
  if (checked > BitBuffer::kCells) checked = BitBuffer::kCells;
  if (s.rxConvolutional)
    flushInto(s.decoder, payloadBits.cells.data(), BitBuffer::kCells, checked, s.decodedBitCount);
  for (const auto& values : s.payloadValues)
    if (decodePayloadBoundaryValues(s, values, payloadBits)) {
      s.payloadGood = true;
      return;
    }
  s.payloadGood = crcCheckPasses(std::span<const uint8_t>(payloadBits.cells.data(), checked));
}

FrameEvent headerBitStep(FrameReaderState& s, ChannelBit b) {
  decodeInto(s.decoder, b.soft, s.headerBits.data(), kHeaderBits, s.decodedBitCount);
  if (++s.headerBitCount < kCodedHeaderBits) return FrameEvent::kNone;
  return finishHeader(s);
}

// Channel bits a payload of L data bits occupies.
int payloadChannelBits(bool coded, int payloadLength) {
  return (payloadLength + kCrcBits) * (coded ? 2 : 1);
}

FrameEvent payloadBitStep(FrameReaderState& s, ChannelBit b, BitBuffer& payloadBits) {
  const int index = s.payloadBitIndex++;
  if (index < kMaxPayloadChannelBits) s.payloadSoft[index] = keptValue(b.value);
  if (s.rxConvolutional)
    decodeInto(s.decoder, b.soft, payloadBits.cells.data(), BitBuffer::kCells, s.decodedBitCount);
  else if (index < BitBuffer::kCells)
    payloadBits.cells[index] = static_cast<uint8_t>(b.hard);

  // The end comes one bit after the last check bit: the bit at the end index is taken and
  // not used.
  if (index == payloadChannelBits(s.rxConvolutional, s.payloadLength)) {
    finishPayload(s, payloadBits);
    return FrameEvent::kPayloadEnd;
  }
  // A payload that cannot end inside the buffer is abandoned once the index passes its end.
  if (index >= kMaxPayloadChannelBits) endFrame(s);
  return FrameEvent::kNone;
}

}  // namespace

void startFrame(FrameReaderState& state, BitBuffer& payloadBits) {
  state.inFrame = true;
  ++state.syncWordsFound;
  state.headerBitCount = 0;
  state.payloadBitIndex = 0;
  state.payloadLength = 0;
  state.decoder.resetDecoder();
  state.decodedBitCount = 0;
  state.rxScramblerPos = 0;
  state.headerEndSign = 0;
  state.headerLost = false;
  state.headerReadAgain = false;
  payloadBits.cells.fill(0);
}

void frameBoundaryValues(FrameReaderState& state, double first, double second) {
  const double llrs[2] = {first, second};
  for (int r = 0; r < 2; ++r) {
    const float v = std::isfinite(llrs[r]) ? float(std::clamp(llrs[r], -1e6, 1e6)) : 0.0f;
    if (state.readingHeader())
      state.headerValues[r][state.headerBitCount] = v;
    else if (state.payloadBitIndex < kMaxPayloadChannelBits)
      state.payloadValues[r][state.payloadBitIndex] = v;
  }
}

FrameEvent frameChannelStep(FrameReaderState& state, double channelSoft, BitBuffer& payloadBits) {
  const ChannelBit b = descramble(state, channelSoft);
  if (state.readingHeader()) return headerBitStep(state, b);
  return payloadBitStep(state, b, payloadBits);
}

FrameEvent frameBitStep(FrameReaderState& state, int bit, double d, bool fourLevelBit,
                        BitBuffer& payloadBits) {
  // An MSK bit keeps its confidence, the frequency value times 100; a four-level bit is hard,
  // so its decoder input is +1 or -1.
  const double channelSoft = fourLevelBit ? (bit ? 1.0 : -1.0) : d * 100.0;
  return frameChannelStep(state, channelSoft, payloadBits);
}

std::span<const float> payloadChannelSoft(const FrameReaderState& state) {
  const int n = payloadChannelBits(state.rxConvolutional, state.payloadLength);
  return std::span<const float>(state.payloadSoft.data(), std::min(n, kMaxPayloadChannelBits));
}

bool adoptSecondReading(FrameReaderState& state, std::span<const float> channel, BitBuffer& scratch,
                        BitBuffer& payloadBits, bool keepValues) {
  const int n = std::min<int>(
      {int(channel.size()), payloadChannelBits(state.rxConvolutional, state.payloadLength),
       kMaxPayloadChannelBits});
  std::array<float, kMaxPayloadChannelBits> descrambled;
  descrambleInto(channel.first(n), descrambled.data());
  return adoptValues(state, std::span<const float>(descrambled.data(), n), scratch, payloadBits,
                     keepValues);
}

namespace {

// Where a spliced reading switches from an earlier reading to a later one: the middle of the
// longest run of windows in which the two agree in sign, and the run's length. Runs shorter
// than two windows do not count: two readings of garbage agree that well by chance.
struct Splice {
  int at = -1;
  int agreeing = 0;
};

Splice spliceAt(std::span<const float> earlier, std::span<const float> later) {
  constexpr int kWindow = 32;
  constexpr double kAgreeing = 0.75;
  const int n = static_cast<int>(later.size());
  Splice best;
  int runFrom = -1;
  for (int from = 0; from < n; from += kWindow) {
    const int to = std::min(n, from + kWindow);
    int agree = 0;
    for (int i = from; i < to; ++i) agree += (earlier[i] < 0) == (later[i] < 0);
    if (agree < kAgreeing * (to - from)) {
      runFrom = -1;
      continue;
    }
    if (runFrom < 0) runFrom = from;
    if (to - runFrom > best.agreeing && to - runFrom > kWindow)
      best = {runFrom + (to - runFrom) / 2, to - runFrom};
  }
  return best;
}

}  // namespace

bool adoptLaterReading(FrameReaderState& state, std::span<const float> later,
                       std::span<const float> laterEnds, std::span<const float> second,
                       BitBuffer& scratch, BitBuffer& payloadBits) {
  if (decodePayloadBoundaryValues(state, laterEnds, payloadBits)) {
    state.payloadGood = true;
    return true;
  }
  if (adoptSecondReading(state, later, scratch, payloadBits, false)) return true;
  const int n = std::min<int>({int(later.size()), int(second.size()),
                               payloadChannelBits(state.rxConvolutional, state.payloadLength),
                               kMaxPayloadChannelBits});
  std::array<float, kMaxPayloadChannelBits> back, kept, other, spliced;
  descrambleInto(later.first(n), back.data());
  descrambleInto(second.first(n), other.data());
  std::copy_n(state.payloadSoft.begin(), n, kept.begin());
  const float* earlier[2] = {kept.data(), other.data()};
  Splice splices[2];
  for (int r = 0; r < 2; ++r)
    splices[r] = spliceAt(std::span<const float>(earlier[r], n), std::span<const float>(back.data(), n));
  // The longer agreement first.
  const int first = splices[1].agreeing > splices[0].agreeing ? 1 : 0;
  for (const int r : {first, 1 - first}) {
    if (splices[r].at < 0) continue;
    std::copy_n(earlier[r], splices[r].at, spliced.begin());
    std::copy(back.begin() + splices[r].at, back.begin() + n, spliced.begin() + splices[r].at);
    if (adoptValues(state, std::span<const float>(spliced.data(), n), scratch, payloadBits, false))
      return true;
  }
  // The earlier and the backward reading together, and each leaning on one of them: where the
  // two differ in a few symbols, the reading that got a symbol wrong mostly read it weakly (of
  // the failed plain copies on the poor channel at 10 dB, 11 % pass summed, 14 % in one of the
  // three ways). The sum is also the copy kept for combining: two failed copies, each kept as
  // its two readings summed, make the block half the time, against 37 % as spliced.
  std::array<float, kMaxPayloadChannelBits> summed;
  for (const float leaning : {1.0f, 2.0f, 0.5f}) {
    for (int i = 0; i < n; ++i) summed[i] = leaning * kept[i] + back[i];
    if (adoptValues(state, std::span<const float>(summed.data(), n), scratch, payloadBits, false))
      return true;
  }
  for (int i = 0; i < n; ++i) state.payloadSoft[i] = kept[i] + back[i];
  return false;
}

bool recoverLostHeader(FrameReaderState& s, int channelBits,
                       std::span<const float> laterHeaderValues) {
  const KnownBits expected = s.expectedBlockHeader;
  if (!s.headerLost || !twoToneBlocksExpected(expected) || channelBits <= 0) return false;
  const uint64_t lengthBits = fieldMask({0, 0, false, false, 0, 0, 0, 0xFFF});
  const bool coded = (expected.values & fieldMask({0, 0, true, false, 0, 0, 0, 0})) != 0;
  if (channelBits > kMaxPayloadChannelBits || (coded && channelBits % 2 != 0)) return false;
  const int length = (coded ? channelBits / 2 : channelBits) - kCrcBits;
  if (length < 0 || length > 0xFFF) return false;
  const auto hold = [](KnownBits known, uint64_t fields, const FrameHeader& values) {
    known.mask |= fields;
    known.values = (known.values & ~fields) | fieldMask(values);
    return known;
  };
  const auto decodeHolding = [&](KnownBits known) {
    if (decodeHeaderBoundaryValues(s, known)) return true;
    int end = 0;
    if (laterHeaderValues.size() != kCodedHeaderBits ||
        !decodeBoundaryValues(s, laterHeaderValues, 0, kHeaderBits, end, known))
      return false;
    std::copy_n(s.signDecoded.begin(), kHeaderBits, s.headerBits.begin());
    s.headerEndSign = end;
    return true;
  };
  const KnownBits known = hold(expected, lengthBits, {0, 0, false, false, 0, 0, 0, length});
  bool read = decodeHolding(known);
  const uint64_t placeBits = fieldMask({0, 0xF, false, false, 0x3F, 0x3F, 0, 0});
  for (const ExpectedBlock& next : s.nextBlocks) {
    if (read || next.col < 0) break;
    read = decodeHolding(hold(known, placeBits, {0, kFrameBsrResponse, false, false, next.col, next.row, 0, 0}));
  }
  for (const ExpectedBlock& next : s.nextBlocks) {
    if (read || next.col < 0 || next.payloadLength != length) continue;
    std::array<uint8_t, kHeaderBits> bits{};
    for (int i = 0; i < kHeaderFieldBits; ++i) bits[i] = (known.values >> i) & 1u;
    FrameHeader h = unpackHeader(std::span<const uint8_t>(bits));
    h.kind = kFrameBsrResponse;
    h.blockCol = next.col;
    h.blockRow = next.row;
    s.headerBits = packHeader(h);
    s.headerEndSign = 0;
    read = true;
  }
  if (!read) return false;
  const FrameHeader h = unpackHeader(std::span<const uint8_t>(s.headerBits));
  if (h.version != 0 || (h.kind != kFrameImageBlock && h.kind != kFrameBsrResponse) ||
      h.fourLevel || h.blockCol >= kBlocksAcross || h.blockRow >= kBlocksDown)
    return false;
  takeHeader(s, h);
  s.headerReadAgain = true;
  return true;
}

bool takeHeaderAsLost(FrameReaderState& s) {
  if (!s.boundaryValues || !twoToneBlocksExpected(s.expectedBlockHeader)) return false;
  for (auto& values : s.headerValues) values.fill(0.0f);
  s.headerLost = true;
  return true;
}

bool readRecoveredPayload(FrameReaderState& s, std::span<const float> channel,
                          std::span<const float> laterEnds, BitBuffer& scratch,
                          BitBuffer& payloadBits) {
  s.payloadGood = decodePayloadBoundaryValues(s, laterEnds, payloadBits);
  if (s.payloadGood || adoptSecondReading(s, channel, scratch, payloadBits, true)) return true;
  payloadBits.cells = scratch.cells;  // a failed payload goes on as its reading's bits
  return false;
}

bool laterReadingPasses(std::span<const uint8_t> bitsWithCheck, bool block) {
  if (!crcCheckPasses(bitsWithCheck)) return false;
  return !block || bitsWithCheck.size() < kCrcBits ||
         isWholeMacroblock(bitsWithCheck.first(bitsWithCheck.size() - kCrcBits));
}

bool codedDecodingFits(std::span<const float> soft, std::span<const uint8_t> bitsWithCheck) {
  constexpr double kMaxMisfitShare = 0.08;
  const std::vector<uint8_t> coded = convolutionalEncode(bitsWithCheck);
  const size_t n = std::min(soft.size(), coded.size());
  double misfit = 0, total = 0;
  for (size_t i = 0; i < n; ++i) {
    const double weight = std::fabs(soft[i]);
    total += weight;
    if ((soft[i] < 0) != (coded[i] != 0)) misfit += weight;
  }
  return total > 0 && misfit <= kMaxMisfitShare * total;
}

bool decodePayloadSoft(std::span<const float> soft, bool coded, int payloadLength, bool block,
                       ViterbiDecoder& decoder, BitBuffer& bits) {
  const int checked = std::min(payloadLength + kCrcBits, BitBuffer::kCells);
  const int n = std::min<int>(soft.size(), payloadChannelBits(coded, payloadLength));
  if (coded) {
    decoder.resetDecoder();
    int count = 0;
    for (int i = 0; i < n; ++i)
      decodeInto(decoder, softInput(soft[i]), bits.cells.data(), BitBuffer::kCells, count);
    // Neutral inputs past the end, as at a payload's end: the code has no tail.
    flushInto(decoder, bits.cells.data(), BitBuffer::kCells, checked, count);
  } else {
    for (int i = 0; i < checked; ++i) bits.cells[i] = i < n && soft[i] < 0 ? 1 : 0;
  }
  return laterReadingPasses(std::span<const uint8_t>(bits.cells.data(), checked), block);
}
