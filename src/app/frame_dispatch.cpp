// What each received frame does: image blocks go into the received picture and the error
// map, texts into the message log, callsign frames into the callsign panel; end frames close
// the picture, BSR requests fill the requested-block list, abort frames stop the reception.
#include <algorithm>

#include "app/auto_operation.h"
#include "app/callsign_check.h"
#include "app/main_window.h"
#include "core/display_text.h"
#include "framing/frame_bits.h"
#include "imaging/macroblock_codec.h"
#include "rx/block_copies.h"
#include "rx/block_lists.h"
#include "rx/payload_text.h"
#include "rx/receiver_state.h"

namespace {

const char* const kNoCallsign = "No Callsign";

}  // namespace

void MainWindow::frameHeaderActions(const RxFrameInfo& info) {
  ReceiverState& rx = *rx_;
  switch (info.kind) {
    case kFrameText: state.rxKindText = "TXT"; break;
    case kFrameImageBlock: state.rxKindText = "IMG"; break;
    case kFrameBsrResponse: state.rxKindText = "IMG(BSR)"; break;
    case kFrameBsrRequest: state.rxKindText = "BSR " + std::to_string(state.requestedBlockCount + 1); break;
    default: break;
  }
  rxKindLabel.caption = state.rxKindText;
  rx.rxBufferCount = 0;
  // A re-sent block or a BSR request after an end, abort or finish starts a new request list.
  if ((info.kind == kFrameBsrResponse || info.kind == kFrameBsrRequest) && state.bsrListClosed) {
    state.requestedBlockCount = 0;
    respBsrButton.caption = "Resp BSR";
    respBsrButton.enabled = false;
    state.bsrListClosed = false;
  }

  switch (info.kind) {
    case kFrameImageBlock:
    case kFrameBsrResponse:
      if (info.kind == kFrameBsrResponse && state.awaitingBsrReply) {
        const auto begin = state.missingBlockList.begin();
        const auto end = begin + std::clamp(state.missingBlockCount, 0, kBlockCount);
        expectReSentBlocksAfter(static_cast<int>(std::find(begin, end, BlockPosition{info.col, info.row}) - begin));
      }
      pictureBlockHeader = info;
      rxModeLabel.caption = info.fourLevel ? "4L-FSK" : "MSK";
      rxCodeLabel.font = colours::goodBlock;
      rxCodeLabel.caption = info.coded ? "CONV" : "NORM";
      rxScaleLabel.font = colours::goodBlock;
      rxScaleLabel.caption =
          info.scaleIndex >= 0 && info.scaleIndex < static_cast<int>(scaleCombo.items.size())
              ? scaleCombo.items[info.scaleIndex]
              : "";
      rx.rxTimeoutArmed = true;
      finishRxButton.enabled = true;
      break;

    case kFrameText:
      rxModeLabel.caption.clear();
      rxCodeLabel.caption.clear();
      rxScaleLabel.caption.clear();
      break;

    case kFrameEnd:
      if (!state.imageClosed && !state.blockStreamIdle) {
        relistMissingBlocks();
        refreshSendBsrButton();
        state.imageClosed = true;
        saveReceivedImage();
        pictureReceptionClosed();
        auto_->receptionClosed();
      }
      refreshRespBsrButton();
      rxImageOpen = false;
      state.decodedCallsign.clear();
      showDecodedCallsign();
      if (state.rxKindText == "IMG(BSR)") state.awaitingBsrReply = false;
      expectReSentBlocksAfter(kBlockCount);
      clearReceptionLabels();
      rxModeLabel.caption.clear();
      rx.rxTimeoutArmed = false;
      state.bsrListClosed = true;
      finishRxButton.enabled = false;
      break;

    case kFrameBsrRequest:
      finishRxButton.enabled = true;
      rxModeLabel.caption.clear();
      state.requestedBlockCount =
          storeRequestedBlock(state.requestedBlockList, state.requestedBlockCount, {info.col, info.row});
      state.blockStreamIdle = true;
      rx.rxTimeoutArmed = true;
      break;

    case kFrameAbort:
      state.blockStreamIdle = true;
      rxImageOpen = false;
      state.decodedCallsign.clear();
      showDecodedCallsign();
      clearReceptionLabels();
      rxModeLabel.caption = "Abort";
      expectReSentBlocksAfter(kBlockCount);
      rx.rxTimeoutArmed = false;
      state.bsrListClosed = true;
      finishRxButton.enabled = false;
      break;

    default:
      break;
  }
}

void MainWindow::framePayloadActions(const RxFrameInfo& info, const BitBuffer& received,
                                     bool crcGood, std::span<const float> payloadSoft) {
  const bool onMap = onBlockMap(info.col, info.row);
  const int mapIndex = onMap ? blockMapIndex(info.col, info.row) : 0;
  const bool held = onMap && state.receivedBlockMap[mapIndex] == 1;
  switch (info.kind) {
    case kFrameImageBlock: {
      // A header read again may be wrong by a small chance: its failed payload is only a copy
      // for combining, and none is needed for a block already held.
      if (held && !crcGood && info.headerReadAgain) break;
      if (!rxImageOpen) startImageReception();
      if (state.decodedCallsign == state.previousCallsign) {
        state.remoteCallsign = state.decodedCallsign.empty() ? kNoCallsign : state.decodedCallsign;
        if (pictureTabs.index == kRxTab) statusLine.caption = senderCaption();
      }
      const BitBuffer& payload =
          held ? received : combineWithKeptCopy(info, received, payloadSoft, crcGood);
      if (!settings.errorFreeOnly || crcGood) decodeReceivedBlock(info, payload);
      if (crcGood) {
        markBlock(info.col, info.row, colours::goodBlock);
        if (onMap) state.receivedBlockMap[mapIndex] = 1;
      } else {
        markBlock(info.col, info.row, colours::badBlock);
      }
      errorMap.show(errorPicture);
      state.blockStreamIdle = false;
      break;
    }

    case kFrameBsrResponse: {
      if (held) break;  // already held: nothing at all
      const bool fromPartner = !state.awaitingBsrReply && settings.overwriteBsrBlocks &&
                               state.decodedCallsign == state.remoteCallsign;
      // Only an answer this station takes is combined (one meant for another station may
      // belong to another picture).
      const BitBuffer& payload = state.awaitingBsrReply || fromPartner
                                     ? combineWithKeptCopy(info, received, payloadSoft, crcGood)
                                     : received;
      if (crcGood && state.awaitingBsrReply) {
        decodeReceivedBlock(info, payload);
        markBlock(info.col, info.row, colours::goodBlock);
        // Reopened as for a block taken under OverWrite: the answer's end frame lists the
        // blocks still missing and saves the completed picture again.
        state.imageClosed = false;
        if (onMap) state.receivedBlockMap[mapIndex] = 1;
        state.bsrBlocksStored = true;
      } else if (crcGood && fromPartner) {
        decodeReceivedBlock(info, payload);
        markBlock(info.col, info.row, colours::foreignBlock);
        state.imageClosed = false;  // the next end frame closes and saves the picture again
        if (onMap) state.receivedBlockMap[mapIndex] = 1;
        state.bsrBlocksStored = true;
      } else if (!crcGood && state.awaitingBsrReply) {
        if (!settings.errorFreeOnly) decodeReceivedBlock(info, payload);
        markBlock(info.col, info.row, colours::badBlock);
      } else if (!crcGood && fromPartner) {
        markBlock(info.col, info.row, colours::badBlock);
      }
      errorMap.show(errorPicture);
      state.blockStreamIdle = false;
      break;
    }

    case kFrameText: {
      if (!crcGood) break;
      const std::string line = displayText(payloadText(received, info.payloadLength));
      addMessageLogLine(line, MessageLogSource::air);
      if (observer) observer->textReceived(line);
      state.blockStreamIdle = true;
      break;
    }

    case kFrameCallsign:
      if (!crcGood) break;
      // Callsigns are kept in capitals, whatever case the other station sent.
      state.decodedCallsign = callsignInCapitals(payloadText(received, info.payloadLength));
      callsignPanel.font = colours::goodBlock;
      showDecodedCallsign();
      state.previousCallsign = state.decodedCallsign;
      break;

    default:
      break;
  }
}

const BitBuffer& MainWindow::combineWithKeptCopy(const RxFrameInfo& info, const BitBuffer& payload,
                                                 std::span<const float> soft, bool& crcGood) {
  if (crcGood) {
    failedCopies_->forget(info.col, info.row);
    return payload;
  }
  if (!combineDamagedCopies) return payload;
  const BlockCopyKey key{info.scaleIndex, info.coded, info.payloadLength};
  const FailedBlockCopies::Outcome outcome = failedCopies_->add(info.col, info.row, key, soft);
  if (!outcome.combined) return payload;
  crcGood = outcome.good;
  if (crcGood) ++blocksMadeWholeByCombining;
  // Failed or not, the sum is the better reading of the block.
  return failedCopies_->combinedBits();
}

// Decodes a block into rxPicture from the start of the payload. The codec writes only inside
// the picture, so a block position beyond the 20 x 15 grid decodes nothing.
void MainWindow::decodeReceivedBlock(const RxFrameInfo& info, const BitBuffer& payload) {
  BitBuffer& bits = state.payloadBits;
  if (&payload != &bits) bits.cells = payload.cells;
  bits.cursor = 0;
  decodeMacroblock(bits, info.col, info.row, rxPicture, scaleTable[info.scaleIndex & (kScaleCount - 1)]);
}

// Two by two pixels per block on the error map; pixels outside the map are skipped.
void MainWindow::markBlock(int col, int row, Colour colour) {
  putPixel(2 * col, 2 * row, errorPicture, colour);
  putPixel(2 * col, 2 * row + 1, errorPicture, colour);
  putPixel(2 * col + 1, 2 * row, errorPicture, colour);
  putPixel(2 * col + 1, 2 * row + 1, errorPicture, colour);
}

void MainWindow::clearReceptionLabels() {
  state.rxKindText.clear();
  rxKindLabel.caption.clear();
  rxScaleLabel.caption.clear();
  rxCodeLabel.caption.clear();
}

void MainWindow::showDecodedCallsign() {
  callsignPanel.caption = displayText(state.decodedCallsign);
}
