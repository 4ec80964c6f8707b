#pragma once
// The one program-wide record of operating and signal-processing state. It is plain data,
// read and written on the main thread only, so nothing here needs a lock. State that only one
// routine uses lives in that routine's own struct.
#include <array>
#include <cstdint>
#include <string>

#include "core/bit_buffer.h"
#include "core/scale_table.h"

// A block position in the 20 x 15 grid, as kept in the missing and requested block lists.
struct BlockPosition {
  int col = 0;
  int row = 0;
  friend bool operator==(const BlockPosition&, const BlockPosition&) = default;
};

// Blocks received with a good check: entry col * 32 + row is 1 once block (col, row) arrived.
// Block positions travel in 6-bit fields; only positions below 32 have an entry.
inline constexpr int kBlockMapSide = 32;
using ReceivedBlockMap = std::array<uint8_t, kBlockMapSide * kBlockMapSide>;

// Kinds of transmission a send command starts (3 is not used).
enum TxKind : int { kTxText = 0, kTxImage = 1, kTxBsrResponse = 2, kTxBsrRequest = 4 };

struct SharedState {
  // --- operating state ---
  bool txInProgress = false;
  bool txStopRequested = false;
  int txKind = kTxText;
  int txBlockCol = 0;
  int txBlockRow = 0;
  int txBlocksAcross = 0;
  int txBlocksDown = 0;
  int callsignSendCounter = 0;
  bool fourLevelMode = false;
  bool imageFromClipboard = false;
  std::string txImagePath;
  bool waveLoopMode = false;
  int browseIndex = 0;
  int missingBlockCount = 0;
  int requestedBlockCount = 0;
  bool awaitingBsrReply = false;
  // A block from a BSR answer was stored into the held picture since it was last saved.
  bool bsrBlocksStored = false;
  int txCodedBits = 0;
  std::string remoteCallsign = "No Callsign";
  std::string decodedCallsign;
  std::string txTimeText = "TxTime :";
  bool startupLinesCleared = false;
  std::array<uint8_t, 4> keyHistory{};  // last four released keys, newest first

  // --- transmit sequencing ---
  int endFrameCount = 0;
  int silentFrameCount = 0;
  bool txSilent = false;
  int savedMissingBlockCount = 0;
  std::array<BlockPosition, kBlockCount> missingBlockList{};
  std::array<BlockPosition, kBlockCount> requestedBlockList{};
  // Transmit order of the 300 blocks for "Random" scanning: sequence position -> block number.
  std::array<int, kBlockCount> scanPermutation{};

  // --- block codec bit buffers (each with its own cursor) ---
  BitBuffer blockBits;    // cursor = blockBitCount, next free cell
  BitBuffer previewBits;  // cursor = previewBitPos, next cell to read
  BitBuffer payloadBits;  // cursor = payloadBitPos, next cell to read

  // --- reception: frame dispatch and lifecycle ---
  ReceivedBlockMap receivedBlockMap{};
  std::string rxKindText;        // shown in the kind label
  std::string previousCallsign;  // latest callsign frame; kept across end and abort frames
  bool imageClosed = false;      // the received image was closed (missing list built, saved)
  bool blockStreamIdle = false;  // no image block handled since the last start, end, text, ...
  bool bsrListClosed = false;    // the next BSR request or re-sent block starts a new list

  // --- gains, from the level dialog positions ---
  double inputGain = 1.0;
  double outputGain = 1.0;
};

// "Send BSR" / "Resp BSR" captions and enabled states derived from the two counts.
struct BsrButtonState {
  std::string caption;
  bool enabled = false;
};
BsrButtonState sendBsrButtonState(int missingBlockCount);
// The counted captions alone, as the BSR frame builders count down: "Send 12 BSR", "Resp 3 BSR".
std::string sendBsrCaption(int count);
std::string respBsrCaption(int count);
BsrButtonState respBsrButtonState(int requestedBlockCount);
