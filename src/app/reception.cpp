// The life of one picture reception: how it opens at its first block and how it ends without
// an end frame, by the time-out or by the operator's "Finish RX".
#include "app/auto_operation.h"
#include "app/main_window.h"
#include "rx/block_copies.h"
#include "rx/block_lists.h"
#include "rx/receiver_state.h"

void MainWindow::startImageReception() {
  rxPicture.fill(colours::black);
  pictureSnrSumDb_ = 0.0;
  pictureSnrCount_ = 0;
  ++receptionNumber_;
  pictureTabs.index = kRxTab;
  deleteImageButton.enabled = false;
  pictureBox.show(rxPicture);
  refreshPictureHint();
  state.receivedBlockMap.fill(0);
  failedCopies_->clear();
  state.missingBlockCount = 0;
  expectReSentBlocksAfter(kBlockCount);
  state.savedMissingBlockCount = 0;
  state.requestedBlockCount = 0;
  sendBsrButton.enabled = false;
  sendBsrButton.caption = "Send BSR";
  respBsrButton.enabled = false;
  respBsrButton.caption = "Resp BSR";
  rxImageOpen = true;
  state.imageClosed = false;
  browseShown = false;
  state.awaitingBsrReply = false;
  state.blockStreamIdle = true;
  errorPicture.fill(colours::black);
  errorMap.show(errorPicture);
  state.remoteCallsign = "No Callsign";
  statusLine.caption = "From : " + state.remoteCallsign;
  state.bsrBlocksStored = false;
  lastSavedPath.clear();
  refreshLogOutButton();
}

void MainWindow::finishReception() {
  rx_->rxTimeoutArmed = false;
  relistMissingBlocks();
  const bool pictureOpen = rxImageOpen;
  if (pictureOpen) saveReceivedImage();
  rxImageOpen = false;
  refreshBsrButtons();
  state.imageClosed = true;
  state.decodedCallsign.clear();
  showDecodedCallsign();
  // rxModeLabel keeps what the caller put there ("Time out", "Manual RX finish").
  clearReceptionLabels();
  state.blockStreamIdle = true;
  state.bsrListClosed = true;
  finishRxButton.enabled = false;
  if (pictureOpen) pictureReceptionClosed();
  if (pictureOpen) auto_->receptionClosed();
}

void MainWindow::finishRxClicked() {
  rxModeLabel.caption = "Manual RX finish";
  finishReception();
}

void MainWindow::relistMissingBlocks() {
  state.missingBlockCount = listMissingBlocks(state.receivedBlockMap, state.missingBlockList);
  // The count a transmission puts back when it ends follows the list: a picture made whole by
  // BSR answers leaves nothing to request after the station's next transmission.
  state.savedMissingBlockCount = state.missingBlockCount;
}

void MainWindow::expectReSentBlocksAfter(int index) {
  std::array<ExpectedBlock, 2>& next = rx_->frame.nextBlocks;
  for (size_t k = 0; k < next.size(); ++k) {
    const int i = index + 1 + static_cast<int>(k);
    const BlockPosition block = i < state.missingBlockCount ? state.missingBlockList[i] : BlockPosition{-1, -1};
    next[k] = {block.col, block.row, block.col < 0 ? -1 : failedCopies_->keptLength(block.col, block.row)};
  }
}
