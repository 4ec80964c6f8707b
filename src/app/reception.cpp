// The life of one picture reception: how it opens at its first block and how it ends without
// an end frame, by the time-out or by the operator's "Finish RX".
#include "app/main_window.h"
#include "rx/block_lists.h"
#include "rx/receiver_state.h"

void TForm1::startImageReception() {
  rxPicture.fill(colours::black);
  pictureSnrSumDb_ = 0.0;
  pictureSnrCount_ = 0;
  TabControl1.index = 1;
  SpeedButton7.enabled = false;
  Image3.show(rxPicture);
  state.receivedBlockMap.fill(0);
  state.missingBlockCount = 0;
  state.requestedBlockCount = 0;
  SpeedButton2.enabled = false;
  SpeedButton2.caption = "Send BSR";
  SpeedButton3.enabled = false;
  SpeedButton3.caption = "Resp BSR";
  rxImageOpen = true;
  state.imageClosed = false;
  browseShown = false;
  state.awaitingBsrReply = false;
  state.blockStreamIdle = true;
  errorPicture.fill(colours::black);
  Image2.show(errorPicture);
  state.remoteCallsign = "No Callsign";
  Label7.caption = "From : " + state.remoteCallsign;
  state.bsrBlocksStored = false;
  lastSavedPath.clear();
}

void TForm1::finishReception() {
  rx_->rxTimeoutArmed = false;
  state.missingBlockCount = listMissingBlocks(state.receivedBlockMap, state.missingBlockList);
  const bool pictureOpen = rxImageOpen;
  if (pictureOpen) saveReceivedImage();
  rxImageOpen = false;
  refreshBsrButtons();
  state.imageClosed = true;
  state.decodedCallsign.clear();
  showDecodedCallsign();
  // Label6 keeps what the caller put there ("Time out", "Manual RX finish").
  clearReceptionLabels();
  state.blockStreamIdle = true;
  state.bsrListClosed = true;
  SpeedButton8.enabled = false;
  if (pictureOpen && observer) observer->receptionClosed();
}

void TForm1::SpeedButton8Click() {
  Label6.caption = "Manual RX finish";
  finishReception();
}
