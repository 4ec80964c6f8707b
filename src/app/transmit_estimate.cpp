// Mode selection and the transmit-time estimate: whenever the transmit picture, the scale, the
// mode or the code changes, the picture is coded once in advance to learn its exact size, the
// operator sees how the receiver will decode it, and how long sending it will take.
#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "imaging/macroblock_codec.h"
#include "tx/frame_builders.h"

namespace {

// Payload bits per second for the Mode and Code selections.
int payloadBitRate(bool fourLevel, bool convolution) {
  const int symbolBits = fourLevel ? 2400 : 1200;
  return convolution ? symbolBits / 2 : symbolBits;
}

// Every frame costs 108 bits at 600 bits per second besides its payload, whatever the mode.
constexpr double kFixedBitsPerBlock = 108.0;
constexpr double kFixedBitRate = 600.0;

}  // namespace

void MainWindow::scaleChanged() {
  if (state.txInProgress) return;
  if (state.imageFromClipboard)
    clipboardEstimate();
  else
    fileEstimate();
}

void MainWindow::codeChanged() {
  // The payload limit depends on the code: the preview and the size follow what is sent now.
  if (!state.txInProgress && pictureEstimated_) previewAsSent();
  updateTxTimeText(state.imageFromClipboard);
}

void MainWindow::modeChanged() {
  state.fourLevelMode = modeCombo.index != 0;
  updateTxTimeText(state.imageFromClipboard);
}

bool MainWindow::loadTransmitImage(const std::string& path) {
  if (state.txInProgress) return false;
  state.txImagePath = path;
  const bool coded = fileEstimate();
  state.imageFromClipboard = false;
  return coded;
}

double MainWindow::estimatedFrameSeconds(int payloadBits) const {
  // On the air a frame's sync word and header take 171 symbols in either mode; the payload's
  // own check comes on top of its bits.
  constexpr double kSyncAndHeaderSeconds = 171.0 / 1200.0;
  const int rate = payloadBitRate(modeCombo.index != 0, codeCombo.index == 1);
  return kSyncAndHeaderSeconds + static_cast<double>(payloadBits + 16) / rate;
}

double MainWindow::estimatedTransmitSeconds() const {
  if (state.txCodedBits == 0) return 0.0;
  const int rate = payloadBitRate(modeCombo.index != 0, codeCombo.index == 1);
  const int blocks = (txPicture.width() / 16) * (txPicture.height() / 16);
  return blocks * kFixedBitsPerBlock / kFixedBitRate + static_cast<double>(state.txCodedBits) / rate;
}

void MainWindow::updateTxTimeText(bool fromClipboard) {
  if (state.txCodedBits == 0) return;
  const double seconds = estimatedTransmitSeconds();
  const int m = static_cast<int>(seconds / 60);
  const int s = static_cast<int>(seconds - 60.0 * m);
  char text[40];
  std::snprintf(text, sizeof text, "%d'%02d''", m, s);
  state.txTimeText = std::string("TxTime : ") + text + (fromClipboard ? " (Clip)" : " (File)");
  if (pictureTabs.index == kTxTab) statusLine.caption = state.txTimeText;
}

bool MainWindow::fileEstimate() {
  state.txBlockCol = 0;
  state.txBlockRow = 0;
  std::error_code ec;
  if (state.txImagePath.empty() || !std::filesystem::exists(state.txImagePath, ec)) {
    pictureBox.show(txPicture);
    state.txTimeText = "TxTime : No TX Image";
    statusLine.caption = state.txTimeText;
    return false;
  }
  setEstimateControlsEnabled(false);
  const bool coded = codeTransmitPicture(transmitFilePicture(), false);
  setEstimateControlsEnabled(true);
  browseShown = false;
  return coded;
}

bool MainWindow::clipboardEstimate() {
  state.txBlockCol = 0;
  state.txBlockRow = 0;
  std::optional<Picture> bitmap = platform.clipboardPicture();
  if (!bitmap) return false;
  setEstimateControlsEnabled(false);
  clipboardPicture = std::move(*bitmap);
  const bool coded = codeTransmitPicture(clipboardPicture, true);
  setEstimateControlsEnabled(true);
  return coded;
}

// Fits the source into txPicture, codes and preview-decodes every block as the sender will,
// counting the bits, and shows the decoded picture. A picture below 320 x 240 is refused with
// a message and nothing changes.
bool MainWindow::codeTransmitPicture(const Picture& source, bool fromClipboard) {
  if (!largeEnoughToSend(source)) {
    platform.messageBox(source.empty() ? transmitImageProblem(fromClipboard) : kImageTooSmallMessage, false);
    return false;
  }
  prepareTransmitPicture(source, true);  // TX tab, "Delete" off, black preview on show
  state.txBlocksAcross = txPicture.width() / 16;
  state.txBlocksDown = txPicture.height() / 16;
  fittedPicture_ = txPicture;
  pictureEstimated_ = true;
  previewAsSent();
  updateTxTimeText(fromClipboard);
  refreshPictureHint();
  return true;
}

// "Send Image" fits the same picture again and codes every block at the selected scale, but
// coarsens a block that is too large for one frame of the selected code. The preview shows
// exactly those blocks as the other station decodes them, and txCodedBits counts exactly the
// payload bits that go on the air.
void MainWindow::previewAsSent() {
  state.txCodedBits = 0;
  for (int r = 0; r < fittedPicture_.height() / 16; ++r) {
    for (int c = 0; c < fittedPicture_.width() / 16; ++c) {
      const FittedMacroblock sent =
          codeBlockForAir(fittedPicture_, c, r, scaleIndex(), codeCombo.index, state.blockBits);
      state.txCodedBits += sent.bitCount;
      decodeAsReceived(state.blockBits, sent.bitCount, c, r, sent.scaleIndex, state.previewBits,
                       txPreviewPicture);
    }
  }
  txPicture = txPreviewPicture;
}

// The controls an estimate locks while it codes, and their state afterwards: "Delete",
// "Log out" and "Resp BSR" stay off, "Send BSR" follows the missing-block count.
void MainWindow::setEstimateControlsEnabled(bool enabled) {
  scaleCombo.enabled = enabled;
  codeCombo.enabled = enabled;
  modeCombo.enabled = enabled;
  settingsButton.enabled = enabled;
  sendTextButton.enabled = enabled;
  toClipboardButton.enabled = enabled;
  fromClipboardButton.enabled = enabled;
  pictureTabs.enabled = enabled;
  deleteImageButton.enabled = false;
  logOutButton.enabled = false;
  respBsrButton.enabled = false;
  respBsrButton.caption = "Resp BSR";
  if (enabled) {
    refreshSendBsrButton();
  } else {
    sendBsrButton.enabled = false;
    sendBsrButton.caption = "Send BSR";
  }
}
