// The operator commands that start and stop transmissions, and the control states that go
// with them.
#include <algorithm>
#include <filesystem>

#include "app/main_window.h"
#include "tx/frame_builders.h"
#include "imaging/picture_file.h"
#include "imaging/transmit_picture.h"
#include "tx/sequencer.h"
#include "app/auto_operation.h"
#include "app/main_window_hosts.h"

void MainWindow::noteOperatorPress() {
  if (!auto_->pressing()) auto_->operatorPressed();
}

bool MainWindow::callsignMissing(Button* toggle) {
  if (!settings.callsign.empty()) return false;
  platform.messageBox("Set your callsign", true);
  if (toggle) toggle->down = false;
  showSettingsModal();
  return true;
}

PictureResult MainWindow::readTransmitFile() const {
  const std::string& path = state.txImagePath;
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) return PictureResult::failure(kNoImageChosenMessage);
  if (!std::filesystem::is_regular_file(path, ec))
    return PictureResult::failure("The file is not a JPEG, PNG or BMP picture: " + path);
  // A picture's name chooses whether it is taken; what it holds chooses the reader, so a file
  // that is no picture at all is named as such.
  if (pictureFormatByName(path) == PictureFormat::kUnknown) return readPictureFileByName(path);
  return readPictureFile(path);
}

Picture MainWindow::transmitFilePicture() const {
  PictureResult result = readTransmitFile();
  return result ? std::move(*result.picture) : Picture();
}

Picture MainWindow::transmitImageSource() {
  Picture picture = state.imageFromClipboard ? clipboardPicture : transmitFilePicture();
  if (!largeEnoughToSend(picture)) return Picture();
  return picture;
}

std::string MainWindow::transmitImageProblem(bool fromClipboard) const {
  if (fromClipboard) return clipboardPicture.empty() ? kNoImageChosenMessage : kImageTooSmallMessage;
  const PictureResult result = readTransmitFile();
  return result ? kImageTooSmallMessage : result.error;
}

void MainWindow::prepareTransmitPicture(const Picture& source, bool showNotice) {
  pictureTabs.index = kTxTab;
  deleteImageButton.enabled = false;
  if (showNotice) {
    txPreviewPicture.fill(colours::black);
    platform.drawText(txPreviewPicture, 80, 110, "Now Image Compressing...", 10, colours::white);
    pictureBox.show(txPreviewPicture);
    platform.paintNow();  // on the screen before the long fit
  }
  fitTransmitPicture(source, txPicture);
  if (showNotice) {
    txPreviewPicture.fill(colours::black);
    pictureBox.show(txPreviewPicture);
  }
}

// Steps every send command takes before its own: the kind and the sequencer's reset, the
// callsign panel, the controls a transmission locks, the status and the signal display.
void MainWindow::startCommonTransmission(int txKind) {
  txProgressTotal_ = txKind == kTxImage           ? kBlockCount
                     : txKind == kTxBsrResponse ? state.requestedBlockCount
                     : txKind == kTxBsrRequest  ? state.missingBlockCount
                                                : 1;
  beginTransmission(state, *tx_, txKind);
  auto_->transmissionStarting(txKind);
  outputStarted();  // the watchdog counts from the start
  state.decodedCallsign.clear();
  callsignPanel.caption = settings.callsign;
  callsignPanel.font = colours::badBlock;

  scaleCombo.enabled = false;
  modeCombo.enabled = false;
  settingsButton.enabled = false;
  sendTextButton.enabled = false;
  deleteImageButton.enabled = false;
  toClipboardButton.enabled = false;
  fromClipboardButton.enabled = false;
  logOutButton.enabled = false;
  if (txKind != kTxBsrRequest) {
    sendBsrButton.enabled = false;
    if (txKind == kTxImage) sendBsrButton.caption = "Send BSR";
  }
  if (txKind == kTxImage || txKind == kTxBsrRequest) {
    respBsrButton.enabled = false;
    respBsrButton.caption = "Resp BSR";
  }

  rxModeLabel.caption.clear();
  clearSignalDisplay();
}

void MainWindow::restoreIdleControls() {
  settingsButton.enabled = true;
  sendImageButton.down = false;
  sendBsrButton.down = false;
  respBsrButton.down = false;
  sendTextButton.enabled = true;
  scaleCombo.enabled = true;
  modeCombo.enabled = true;
  deleteImageButton.enabled = pictureTabs.index == kRxTab || pictureTabs.index == kLogTab;
  toClipboardButton.enabled = true;
  fromClipboardButton.enabled = true;
  refreshLogOutButton();
  callsignPanel.caption.clear();
  refreshBsrButtons();
}

void MainWindow::sendImageClicked() {
  noteOperatorPress();
  if (callsignMissing(&sendImageButton)) return;
  if (!sendImageButton.down) {
    if (state.txInProgress) {
      state.txStopRequested = true;
      state.txBlockCol = state.txBlocksAcross - 1;
      state.txBlockRow = state.txBlocksDown - 1;
    }
    return;
  }
  if (refusedWhileTransmitting(&sendImageButton)) return;
  if (!playDeviceReady()) {
    sendImageButton.down = false;
    return;
  }
  const Picture source = transmitImageSource();
  if (source.empty()) {
    sendImageButton.down = false;
    platform.messageBox(transmitImageProblem(state.imageFromClipboard), false);
    return;
  }
  // A fresh order for every press, even two within the same second: the seed is the clock, but
  // always beyond the previous one.
  scanSeed_ = std::max(scanSeed_ + 1, platform.timeSeconds());
  buildScanPermutation(state.scanPermutation, scanSeed_);
  startCommonTransmission(kTxImage);
  // A new picture begins: no request of the picture received before it is kept.
  state.missingBlockCount = 0;
  state.savedMissingBlockCount = 0;
  state.requestedBlockCount = 0;
  browseShown = false;
  sendBsrButton.caption = "Send BSR";
  respBsrButton.caption = "Resp BSR";
  prepareTransmitPicture(source, true);
  txPreviewPicture.fill(colours::black);
  pictureTabs.index = kTxTab;
  pictureBox.show(txPreviewPicture);
  launchTransmission(state, *tx_, *txSide_);
  if (!state.imageFromClipboard) rememberRecentPicture(state.txImagePath);
}

void MainWindow::sendBsrClicked() {
  noteOperatorPress();
  if (callsignMissing(&sendBsrButton)) return;
  if (!sendBsrButton.down) {
    if (state.txInProgress) state.missingBlockCount = 1;
    return;
  }
  if (refusedWhileTransmitting(&sendBsrButton)) return;
  if (state.missingBlockCount <= 0 || !playDeviceReady()) {
    sendBsrButton.down = false;
    return;
  }
  state.savedMissingBlockCount = state.missingBlockCount;
  expectReSentBlocksAfter(-1);
  startCommonTransmission(kTxBsrRequest);
  state.awaitingBsrReply = true;
  launchTransmission(state, *tx_, *txSide_);
}

void MainWindow::respBsrClicked() {
  noteOperatorPress();
  if (callsignMissing(&respBsrButton)) return;
  if (!respBsrButton.down) {
    if (state.txInProgress) state.requestedBlockCount = 1;
    return;
  }
  if (refusedWhileTransmitting(&respBsrButton)) return;
  if (state.requestedBlockCount <= 0 || !playDeviceReady()) {
    respBsrButton.down = false;
    return;
  }
  const Picture source = transmitImageSource();
  if (source.empty()) {
    respBsrButton.down = false;
    platform.messageBox(transmitImageProblem(state.imageFromClipboard), false);
    return;
  }
  startCommonTransmission(kTxBsrResponse);
  prepareTransmitPicture(source, false);
  launchTransmission(state, *tx_, *txSide_);
}

void MainWindow::sendTextClicked() {
  noteOperatorPress();
  if (callsignMissing(nullptr)) return;
  if (refusedWhileTransmitting(nullptr)) return;
  if (textEdit.text.empty() || textEdit.text == kTextPrompt) return;
  // A text longer than one receivable frame is refused (not cut), so the operator can shorten
  // it where it makes sense.
  const int limit = maxTextBytes(settings.callsign, codeCombo.index);
  if (static_cast<int>(textEdit.text.size()) > limit) {
    platform.messageBox("The text is too long to send: at most " + std::to_string(limit) +
                            " characters fit in one frame with this callsign and code.",
                        true);
    return;
  }
  if (!playDeviceReady()) return;
  // The echo comes first, so that the first one's clearing of the start-up lines never takes
  // a line the start of the transmission logs (a port that cannot be opened).
  if (!state.waveLoopMode) {
    addMessageLogLine(settings.callsign + ">" + textEdit.text);
  }
  startCommonTransmission(kTxText);
  launchTransmission(state, *tx_, *txSide_);
  textEdit.text.clear();
}
