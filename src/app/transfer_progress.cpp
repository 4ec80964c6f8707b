// How far the running transmission or the arriving picture has come, from the sequencer's own
// counters, the BSR lists' counts and the received-block map, with the time left reckoned from
// the coded picture's size.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/main_window.h"
#include "tx/frame_builders.h"
#include "tx/sequencer.h"

namespace {

// An end frame's 171 symbols at 1200 per second; the silent tail plays three more periods.
constexpr double kEndFrameSeconds = 171.0 / 1200.0;
constexpr int kSilentPeriods = 3;

std::string minutesAndSeconds(double seconds) {
  const int whole = static_cast<int>(std::ceil(std::max(seconds, 0.0)));
  char text[24];
  std::snprintf(text, sizeof text, "%d'%02d''", whole / 60, whole % 60);
  return text;
}

}  // namespace

int MainWindow::receivedBlocksHeld() const {
  int held = 0;
  for (int row = 0; row < kBlocksDown; ++row)
    for (int col = 0; col < kBlocksAcross; ++col)
      held += state.receivedBlockMap[col * kBlockMapSide + row] == 1;
  return held;
}

ProgressLine MainWindow::transferProgress() const {
  ProgressLine line;
  if (!state.txInProgress) {
    if (!rxImageOpen) return line;
    line = {true, receivedBlocksHeld(), kBlockCount, {}};
    line.text = "RX " + std::to_string(line.value) + "/300 blocks held";
    return line;
  }
  const int total = std::max(txProgressTotal_, 1);
  const bool tail = state.endFrameCount > 0 || state.txSilent;
  int done = 0;
  switch (state.txKind) {
    case kTxImage:
      // The block frames built so far: the counters stand on the block last built.
      if (tail)
        done = total;
      else if (state.txBlockCol >= 0)
        done = state.txBlockRow * state.txBlocksAcross + state.txBlockCol + 1;
      break;
    case kTxBsrResponse:
      done = tail ? total : total - state.requestedBlockCount;
      break;
    case kTxBsrRequest:
      done = tail ? total : total - state.missingBlockCount;
      break;
    default:
      done = tail ? total : 0;
  }
  line.visible = true;
  line.maximum = total;
  line.value = std::clamp(done, 0, total);
  const char* what = state.txKind == kTxBsrRequest ? " requests"
                     : state.txKind == kTxText    ? " text"
                                                  : " blocks";
  line.text = "TX " + std::to_string(line.value) + "/" + std::to_string(total) + what;
  if (state.txStopRequested) {
    line.text += ", stopping";
    return line;
  }
  // The blocks still to send at the air time of a block of the coded picture's mean size, then
  // the end frames.
  const bool blocks = state.txKind == kTxImage || state.txKind == kTxBsrResponse;
  if (blocks && state.txCodedBits > 0) {
    const int endFramesLeft = std::max(settings.endFrameRepeat - state.endFrameCount, 0) +
                              std::max(kSilentPeriods - state.silentFrameCount, 0);
    // The callsign frames still to come as well: those of the head (the one on the air
    // included), then one after every ten data frames.
    const int counter = state.callsignSendCounter;
    const int callsignsLeft = counter < 0 ? 1 - counter + (total - line.value) / kCallsignInterval
                                          : (counter + total - line.value) / kCallsignInterval;
    const double left =
        (total - line.value) * estimatedFrameSeconds(state.txCodedBits / kBlockCount) +
        callsignsLeft * estimatedFrameSeconds(8 * static_cast<int>(settings.callsign.size())) +
        endFramesLeft * kEndFrameSeconds;
    line.text += ", " + minutesAndSeconds(left) + " left";
  }
  return line;
}
