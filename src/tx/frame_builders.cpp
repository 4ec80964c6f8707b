#include "tx/frame_builders.h"

#include <algorithm>
#include <cstring>

#include "imaging/macroblock_codec.h"
#include "imaging/transmit_picture.h"

namespace {

// Room for a whole block buffer of data and check cells, convolutionally coded (the builders
// never produce more than kMaxPayloadChannelBits, but the scratch stays safe for any length).
constexpr int kPayloadScratchBits = 2 * BitBuffer::kCells;

bool payloadCoded(const FrameSources& sources) { return sources.codeIndex == 1; }

int payloadLimit(const FrameSources& sources) { return payloadBitLimit(sources.codeIndex); }

FrameHeader headerFor(const SharedState& state, const FrameSources& sources, int kind) {
  FrameHeader h;
  h.kind = kind;
  h.coded = payloadCoded(sources);
  h.fourLevel = state.fourLevelMode;
  h.scaleIndex = std::clamp(sources.scaleIndex, 0, kScaleCount - 1);
  return h;
}

// A frame without payload: the header alone.
void finishHeaderOnlyFrame(const SharedState& state, TxBitStream& out, FrameHeader header) {
  header.payloadLength = 0;
  const auto codedHeader = encodeHeader(header);
  assembleFrameStream(state, out, codedHeader.data(), nullptr, 0);
}

// A frame whose `dataBits` payload data bits lie in blockBits: appends their check, codes the
// data and check bits when the header says so, scrambles them and assembles the frame.
void finishPayloadFrame(SharedState& state, TxBitStream& out, FrameHeader header, int dataBits) {
  const int limit = header.coded ? kMaxCodedPayloadBits : kMaxPlainPayloadBits;
  const int length = std::clamp(dataBits, 0, limit);
  uint8_t* cells = state.blockBits.cells.data();
  appendCrc(cells, length);
  const int withCheck = length + kCrcBits;
  state.blockBits.cursor = withCheck;

  std::array<uint8_t, kPayloadScratchBits> payload;
  int count = withCheck;
  if (header.coded) {
    convolutionalEncode(cells, withCheck, payload.data());
    count = 2 * withCheck;
  } else {
    std::memcpy(payload.data(), cells, static_cast<size_t>(withCheck));
  }
  scramble(payload.data(), count);

  header.payloadLength = length;
  const auto codedHeader = encodeHeader(header);
  assembleFrameStream(state, out, codedHeader.data(), payload.data(), count);
}

// Writes bytes into blockBits from cell 0, most significant bit first; returns the bit count.
int putBytes(BitBuffer& bits, const std::string& bytes) {
  bits.cursor = 0;
  for (unsigned char c : bytes) bits.putBits(c, 8);
  return 8 * static_cast<int>(bytes.size());
}

// Codes macroblock (col, row) of the transmit picture into blockBits so that it fits the
// receivable payload size, coarsening the scale if needed; the header gets the scale index
// actually used. Returns the bit count.
int encodeBlock(SharedState& state, const FrameSources& sources, int col, int row, FrameHeader& header) {
  state.blockBits.cursor = 0;
  if (sources.txPicture == nullptr) return 0;
  const FittedMacroblock fitted = codeBlockForAir(*sources.txPicture, col, row, header.scaleIndex,
                                                  sources.codeIndex, state.blockBits);
  header.scaleIndex = fitted.scaleIndex;
  return std::clamp(fitted.bitCount, 0, payloadLimit(sources));
}

// The BSR builders take the entry below their count; the count is first brought into 1..300 so
// a stray count can neither read outside the list nor keep the data phase from ending.
int takeListEntry(int& count) {
  count = std::clamp(count, 1, kBlockCount) - 1;
  return count;
}

// Steers the sequencer's position counters so that a BSR data phase sends exactly one frame
// per list entry: at count 0 the next boundary enters the end phase; otherwise the counters
// are kept away from the last row.
void steerBsrCounters(SharedState& state, int count) {
  if (count == 0) {
    state.txBlockCol = 2;
    state.txBlockRow = 2;
  } else if (state.txBlockCol != 0 && state.txBlockRow != 0) {
    state.txBlockCol = 1;
    state.txBlockRow = 1;
  }
}

}  // namespace

int payloadBitLimit(int codeIndex) {
  return codeIndex == 1 ? kMaxCodedPayloadBits : kMaxPlainPayloadBits;
}

FittedMacroblock codeBlockForAir(const Picture& picture, int col, int row, int scaleIndex,
                                 int codeIndex, BitBuffer& blockBits) {
  return encodeMacroblockWithin(picture, col, row, scaleIndex, payloadBitLimit(codeIndex), blockBits);
}

void decodeAsReceived(const BitBuffer& blockBits, int bitCount, int col, int row, int scaleIndex,
                      BitBuffer& previewBits, Picture& preview) {
  std::copy_n(blockBits.cells.begin(), std::clamp(bitCount, 0, BitBuffer::kCells),
              previewBits.cells.begin());
  previewBits.cursor = 0;
  decodeMacroblock(previewBits, col, row, preview, scaleTable[std::clamp(scaleIndex, 0, kScaleCount - 1)]);
}

void assembleFrameStream(const SharedState& state, TxBitStream& out, const uint8_t* codedHeader,
                         const uint8_t* payload, int payloadCount) {
  const int repeat = state.fourLevelMode ? 2 : 1;
  uint8_t* bits = out.bits.data();
  int pos = 0;
  auto put = [&](uint8_t bit) {
    for (int r = 0; r < repeat; ++r) bits[pos++] = bit;
  };

  if (!out.preambleSent) {
    for (int i = 0; i < kPreambleBits; ++i) put(static_cast<uint8_t>(i & 1));
    out.preambleSent = true;
  }
  for (uint8_t bit : syncWord()) put(bit);
  for (int i = 0; i < kCodedHeaderBits; ++i) put(codedHeader[i]);

  // The payload is never doubled; room is always left for the padding.
  if (payload == nullptr) payloadCount = 0;
  payloadCount = std::clamp(payloadCount, 0, kTxBitStreamCells - 3 - pos);
  std::memcpy(bits + pos, payload == nullptr ? bits : payload, static_cast<size_t>(payloadCount));
  pos += payloadCount;

  if (state.fourLevelMode && (pos % 2) != 0) {
    for (int i = 0; i < 3; ++i) bits[pos++] = 0;
  }
  out.count = pos;
}

int maxTextBytes(const std::string& callsign, int codeIndex) {
  const int limitBytes = payloadBitLimit(codeIndex) / 8;
  return std::max(0, limitBytes - static_cast<int>(callsign.size()) - 1);
}

void buildTextFrame(SharedState& state, const FrameSources& sources, TxBitStream& out) {
  // Callsign, ">" and text, cut to what the other station can receive (the text goes first).
  std::string bytes = sources.callsign + ">" + sources.text;
  bytes.resize(std::min(bytes.size(), static_cast<size_t>(payloadLimit(sources) / 8)));
  const int length = putBytes(state.blockBits, bytes);
  finishPayloadFrame(state, out, headerFor(state, sources, kFrameText), length);
}

void buildCallsignFrame(SharedState& state, const FrameSources& sources, TxBitStream& out) {
  const std::string callsign =
      sources.callsign.substr(0, static_cast<size_t>(payloadLimit(sources) / 8));
  const int length = putBytes(state.blockBits, callsign);
  finishPayloadFrame(state, out, headerFor(state, sources, kFrameCallsign), length);
}

void buildImageBlockFrame(SharedState& state, const FrameSources& sources, TxBitStream& out) {
  const int col = blockForSequence(state.txBlockCol, state.txBlockRow, false, sources.scanDirection,
                                   state.scanPermutation);
  const int row = blockForSequence(state.txBlockCol, state.txBlockRow, true, sources.scanDirection,
                                   state.scanPermutation);
  FrameHeader header = headerFor(state, sources, kFrameImageBlock);
  header.blockCol = col;
  header.blockRow = row;
  const int length = encodeBlock(state, sources, col, row, header);

  // Show the operator what the other station will decode (the receiver has the preview
  // buffers to itself in wave loop mode).
  if (!state.waveLoopMode && sources.txPreviewPicture != nullptr)
    decodeAsReceived(state.blockBits, length, col, row, header.scaleIndex, state.previewBits,
                     *sources.txPreviewPicture);
  finishPayloadFrame(state, out, header, length);
}

int buildBsrResponseFrame(SharedState& state, const FrameSources& sources, TxBitStream& out) {
  const int count = takeListEntry(state.requestedBlockCount);
  const BlockPosition entry = state.requestedBlockList[count];
  FrameHeader header = headerFor(state, sources, kFrameBsrResponse);
  header.blockCol = std::clamp(entry.col, 0, kBlocksAcross - 1);
  header.blockRow = std::clamp(entry.row, 0, kBlocksDown - 1);
  const int length = encodeBlock(state, sources, header.blockCol, header.blockRow, header);
  finishPayloadFrame(state, out, header, length);
  steerBsrCounters(state, count);
  return count;
}

int buildBsrRequestFrame(SharedState& state, const FrameSources& sources, TxBitStream& out) {
  const int count = takeListEntry(state.missingBlockCount);
  const BlockPosition entry = state.missingBlockList[count];
  FrameHeader header = headerFor(state, sources, kFrameBsrRequest);
  header.scaleIndex = 0;
  header.blockCol = entry.col;
  header.blockRow = entry.row;
  finishHeaderOnlyFrame(state, out, header);
  steerBsrCounters(state, count);
  return count;
}

void buildEndFrame(SharedState& state, const FrameSources& sources, TxBitStream& out) {
  // After an image transmission the transmit picture shows what the receiver decodes. Only an
  // image transmission outside wave loop mode has decoded that preview; otherwise the preview is
  // black or stale and copying it would wipe the transmit picture.
  if (state.txKind == kTxImage && !state.waveLoopMode && sources.txPicture != nullptr &&
      sources.txPreviewPicture != nullptr && sources.txPicture != sources.txPreviewPicture)
    *sources.txPicture = *sources.txPreviewPicture;
  FrameHeader header = headerFor(state, sources, state.txStopRequested ? kFrameAbort : kFrameEnd);
  header.blockCol = state.txBlocksAcross;
  header.blockRow = state.txBlocksDown;
  finishHeaderOnlyFrame(state, out, header);
}
