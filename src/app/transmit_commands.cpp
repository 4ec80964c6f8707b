// The operator commands that start and stop transmissions, and the control states that go
// with them.
#include <algorithm>
#include <filesystem>

#include "app/main_window.h"
#include "tx/frame_builders.h"
#include "imaging/picture_file.h"
#include "imaging/transmit_picture.h"
#include "tx/sequencer.h"
#include "app/main_window_hosts.h"

bool TForm1::callsignMissing(Button* toggle) {
  if (!Callsign.empty()) return false;
  platform.messageBox("Set your callsign", true);
  if (toggle) toggle->down = false;
  showSettingsModal();
  return true;
}

Picture TForm1::transmitFilePicture() const {
  const std::string& path = state.txImagePath;
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return Picture();
  PictureResult result = readPictureFileByName(path);
  return result ? std::move(*result.picture) : Picture();
}

Picture TForm1::transmitImageSource() {
  Picture picture = state.imageFromClipboard ? clipboardPicture : transmitFilePicture();
  if (!largeEnoughToSend(picture)) return Picture();
  return picture;
}

void TForm1::prepareTransmitPicture(const Picture& source, bool showNotice) {
  TabControl1.index = 0;
  SpeedButton7.enabled = false;
  if (showNotice) {
    txPreviewPicture.fill(colours::black);
    platform.drawText(txPreviewPicture, 80, 110, "Now Image Compressing...", 10, colours::white);
    Image3.show(txPreviewPicture);
  }
  fitTransmitPicture(source, txPicture);
  if (showNotice) {
    txPreviewPicture.fill(colours::black);
    Image3.show(txPreviewPicture);
  }
}

// Steps every send command takes before its own: the kind and the sequencer's reset, the
// callsign panel, the controls a transmission locks, the status and the signal display.
void TForm1::startCommonTransmission(int txKind) {
  txProgressTotal_ = txKind == kTxImage           ? kBlockCount
                     : txKind == kTxBsrResponse ? state.requestedBlockCount
                     : txKind == kTxBsrRequest  ? state.missingBlockCount
                                                : 1;
  beginTransmission(state, *tx_, txKind);
  quietOutputMs_ = 0;
  state.decodedCallsign.clear();
  Panel4.caption = Callsign;
  Panel4.font = colours::badBlock;

  ComboBox1.enabled = false;
  ComboBox3.enabled = false;
  SpeedButton13.enabled = false;
  SpeedButton6.enabled = false;
  SpeedButton7.enabled = false;
  SpeedButton11.enabled = false;
  SpeedButton12.enabled = false;
  SpeedButton9.enabled = false;
  if (txKind != kTxBsrRequest) {
    SpeedButton2.enabled = false;
    if (txKind == kTxImage) SpeedButton2.caption = "Send BSR";
  }
  if (txKind == kTxImage || txKind == kTxBsrRequest) {
    SpeedButton3.enabled = false;
    SpeedButton3.caption = "Resp BSR";
  }

  Label6.caption.clear();
  clearSignalDisplay();
}

void TForm1::restoreIdleControls() {
  SpeedButton13.enabled = true;
  SpeedButton1.down = false;
  SpeedButton2.down = false;
  SpeedButton3.down = false;
  SpeedButton6.enabled = true;
  ComboBox1.enabled = true;
  ComboBox3.enabled = true;
  SpeedButton7.enabled = TabControl1.index == 1 || TabControl1.index == 2;
  SpeedButton11.enabled = true;
  SpeedButton12.enabled = true;
  SpeedButton9.enabled = true;
  Panel4.caption.clear();
  refreshBsrButtons();
}

void TForm1::SpeedButton1Click() {
  if (callsignMissing(&SpeedButton1)) return;
  if (!SpeedButton1.down) {
    if (state.txInProgress) {
      state.txStopRequested = true;
      state.txBlockCol = state.txBlocksAcross - 1;
      state.txBlockRow = state.txBlocksDown - 1;
    }
    return;
  }
  if (refusedWhileTransmitting(&SpeedButton1)) return;
  const Picture source = transmitImageSource();
  if (source.empty()) {
    SpeedButton1.down = false;
    platform.messageBox(kImageTooSmallMessage, false);
    return;
  }
  // A fresh order for every press, even two within the same second: the seed is the clock, but
  // always beyond the previous one.
  scanSeed_ = std::max(scanSeed_ + 1, platform.timeSeconds());
  buildScanPermutation(state.scanPermutation, scanSeed_);
  startCommonTransmission(kTxImage);
  state.missingBlockCount = 0;
  state.requestedBlockCount = 0;
  SpeedButton2.caption = "Send BSR";
  SpeedButton3.caption = "Resp BSR";
  prepareTransmitPicture(source, true);
  txPreviewPicture.fill(colours::black);
  TabControl1.index = 0;
  Image3.show(txPreviewPicture);
  launchTransmission(state, *tx_, *txSide_);
  if (!state.imageFromClipboard) rememberRecentPicture(state.txImagePath);
}

void TForm1::SpeedButton2Click() {
  if (callsignMissing(&SpeedButton2)) return;
  if (!SpeedButton2.down) {
    if (state.txInProgress) state.missingBlockCount = 1;
    return;
  }
  if (refusedWhileTransmitting(&SpeedButton2)) return;
  if (state.missingBlockCount <= 0) {
    SpeedButton2.down = false;
    return;
  }
  state.savedMissingBlockCount = state.missingBlockCount;
  startCommonTransmission(kTxBsrRequest);
  state.awaitingBsrReply = true;
  launchTransmission(state, *tx_, *txSide_);
}

void TForm1::SpeedButton3Click() {
  if (callsignMissing(&SpeedButton3)) return;
  if (!SpeedButton3.down) {
    if (state.txInProgress) state.requestedBlockCount = 1;
    return;
  }
  if (refusedWhileTransmitting(&SpeedButton3)) return;
  if (state.requestedBlockCount <= 0) {
    SpeedButton3.down = false;
    return;
  }
  const Picture source = transmitImageSource();
  if (source.empty()) {
    SpeedButton3.down = false;
    platform.messageBox(kImageTooSmallMessage, false);
    return;
  }
  startCommonTransmission(kTxBsrResponse);
  prepareTransmitPicture(source, false);
  launchTransmission(state, *tx_, *txSide_);
}

void TForm1::SpeedButton6Click() {
  if (callsignMissing(nullptr)) return;
  if (refusedWhileTransmitting(nullptr)) return;
  if (Edit1.text.empty() || Edit1.text == kTextPrompt) return;
  // A text longer than one receivable frame is refused (not cut), so the operator can shorten
  // it where it makes sense.
  const int limit = maxTextBytes(Callsign, ComboBox2.index);
  if (static_cast<int>(Edit1.text.size()) > limit) {
    platform.messageBox("The text is too long to send: at most " + std::to_string(limit) +
                            " characters fit in one frame with this callsign and code.",
                        true);
    return;
  }
  startCommonTransmission(kTxText);
  launchTransmission(state, *tx_, *txSide_);
  if (!state.waveLoopMode) {
    addMessageLogLine(Callsign + ">" + Edit1.text);
  }
  Edit1.text.clear();
}
