#pragma once
// The frame builders: one per frame kind. Each gathers its field values, checks, codes and
// scrambles them, and writes the finished bit stream of one frame into the transmit stream,
// from cell 0, where the modulator reads it symbol by symbol.
#include <array>
#include <cstdint>
#include <string>

#include "core/shared_state.h"
#include "framing/frame_bits.h"
#include "imaging/macroblock_codec.h"
#include "imaging/picture.h"

// Longest frame: doubled preamble, sync and header, a fully coded 4096-cell payload and the
// 4L-FSK padding.
inline constexpr int kTxBitStreamCells = 512 + 126 + 216 + 8222 + 3;

struct TxBitStream {
  std::array<uint8_t, kTxBitStreamCells> bits{};  // txBitStream
  int count = 0;                                  // txBitCount
  bool preambleSent = false;
};

// What the builders read from the operator's controls and settings; the caller fills it from
// the main window before each frame.
struct FrameSources {
  int scaleIndex = 10;     // Scale combo index
  int codeIndex = 0;       // Code combo index: 1 = payload convolutionally coded
  int scanDirection = 2;   // setting ScanDir
  std::string callsign;    // setting Callsign
  std::string text;        // the text box, for text frames
  Picture* txPicture = nullptr;
  Picture* txPreviewPicture = nullptr;
};

// Writes preamble (first frame only), sync word, header and payload into `out`, doubling sync
// and header bits (and the preamble) in four-level mode and padding to an even count.
void assembleFrameStream(const SharedState& state, TxBitStream& out, const uint8_t* codedHeader,
                         const uint8_t* payload, int payloadCount);

void buildTextFrame(SharedState& state, const FrameSources& sources, TxBitStream& out);
void buildCallsignFrame(SharedState& state, const FrameSources& sources, TxBitStream& out);
void buildImageBlockFrame(SharedState& state, const FrameSources& sources, TxBitStream& out);
// Both BSR builders decrement their count, steer the position counters as the sequencer
// expects, and return the new count so the caller can refresh the button caption.
int buildBsrResponseFrame(SharedState& state, const FrameSources& sources, TxBitStream& out);
int buildBsrRequestFrame(SharedState& state, const FrameSources& sources, TxBitStream& out);
// Kind 5 (abort) while txStopRequested is set, else kind 3 (end).
void buildEndFrame(SharedState& state, const FrameSources& sources, TxBitStream& out);

// The largest number of payload data bits the other station receives with this Code selection
// (1 = convolutionally coded); every builder keeps its payload within it.
int payloadBitLimit(int codeIndex);

// Codes macroblock (col, row) of `picture` as an image block frame carries it: at the scale of
// `scaleIndex`, coarsened (and cut) to fit the payload limit of `codeIndex`. The bits are left in
// blockBits; the scale index used is in the result.
FittedMacroblock codeBlockForAir(const Picture& picture, int col, int row, int scaleIndex,
                                 int codeIndex, BitBuffer& blockBits);
// Decodes the first `bitCount` bits of blockBits, as coded at scale index `scaleIndex`, into
// block (col, row) of `preview` through previewBits: what the other station will show.
void decodeAsReceived(const BitBuffer& blockBits, int bitCount, int col, int row, int scaleIndex,
                      BitBuffer& previewBits, Picture& preview);

// The longest text (in bytes) a text frame can carry for this callsign and coding, so that
// the whole frame is still receivable by the other station.
int maxTextBytes(const std::string& callsign, int codeIndex);
