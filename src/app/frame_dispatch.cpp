// What each received frame does: image blocks go into the received picture and the error
// map, texts into the message log, callsign frames into the callsign panel; end frames close
// the picture, BSR requests fill the requested-block list, abort frames stop the reception.
#include "app/main_window.h"
#include "core/display_text.h"
#include "framing/frame_bits.h"
#include "imaging/macroblock_codec.h"
#include "rx/block_lists.h"
#include "rx/payload_text.h"
#include "rx/receiver_state.h"

namespace {

const char* const kNoCallsign = "No Callsign";

}  // namespace

void TForm1::frameHeaderActions(const RxFrameInfo& info) {
  ReceiverState& rx = *rx_;
  switch (info.kind) {
    case kFrameText: state.rxKindText = "TXT"; break;
    case kFrameImageBlock: state.rxKindText = "IMG"; break;
    case kFrameBsrResponse: state.rxKindText = "IMG(BSR)"; break;
    case kFrameBsrRequest: state.rxKindText = "BSR " + std::to_string(state.requestedBlockCount + 1); break;
    default: break;
  }
  Label9.caption = state.rxKindText;
  rx.rxBufferCount = 0;
  // A re-sent block or a BSR request after an end, abort or finish starts a new request list.
  if ((info.kind == kFrameBsrResponse || info.kind == kFrameBsrRequest) && state.bsrListClosed) {
    state.requestedBlockCount = 0;
    SpeedButton3.caption = "Resp BSR";
    SpeedButton3.enabled = false;
    state.bsrListClosed = false;
  }

  switch (info.kind) {
    case kFrameImageBlock:
    case kFrameBsrResponse:
      Label6.caption = info.fourLevel ? "4L-FSK" : "MSK";
      Label8.font = colours::goodBlock;
      Label8.caption = info.coded ? "CONV" : "NORM";
      Label5.font = colours::goodBlock;
      Label5.caption = info.scaleIndex >= 0 && info.scaleIndex < static_cast<int>(ComboBox1.items.size())
                           ? ComboBox1.items[info.scaleIndex]
                           : "";
      rx.rxTimeoutArmed = true;
      SpeedButton8.enabled = true;
      break;

    case kFrameText:
      Label6.caption.clear();
      Label8.caption.clear();
      Label5.caption.clear();
      break;

    case kFrameEnd:
      if (!state.imageClosed && !state.blockStreamIdle) {
        state.missingBlockCount = listMissingBlocks(state.receivedBlockMap, state.missingBlockList);
        refreshSendBsrButton();
        state.imageClosed = true;
        saveReceivedImage();
        if (observer) observer->receptionClosed();
      }
      refreshRespBsrButton();
      rxImageOpen = false;
      state.decodedCallsign.clear();
      showDecodedCallsign();
      if (state.rxKindText == "IMG(BSR)") state.awaitingBsrReply = false;
      clearReceptionLabels();
      Label6.caption.clear();
      rx.rxTimeoutArmed = false;
      state.bsrListClosed = true;
      SpeedButton8.enabled = false;
      break;

    case kFrameBsrRequest:
      SpeedButton8.enabled = true;
      Label6.caption.clear();
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
      Label6.caption = "Abort";
      rx.rxTimeoutArmed = false;
      state.bsrListClosed = true;
      SpeedButton8.enabled = false;
      break;

    default:
      break;
  }
}

void TForm1::framePayloadActions(const RxFrameInfo& info, const BitBuffer& payload, bool crcGood) {
  const bool onMap = onBlockMap(info.col, info.row);
  const int mapIndex = onMap ? blockMapIndex(info.col, info.row) : 0;
  switch (info.kind) {
    case kFrameImageBlock:
      if (!rxImageOpen) startImageReception();
      if (state.decodedCallsign == state.previousCallsign) {
        state.remoteCallsign = state.decodedCallsign.empty() ? kNoCallsign : state.decodedCallsign;
        if (TabControl1.index == 1) Label7.caption = "From : " + displayText(state.remoteCallsign);
      }
      if (!NoErrDecode || crcGood) decodeReceivedBlock(info, payload);
      if (crcGood) {
        markBlock(info.col, info.row, colours::goodBlock);
        if (onMap) state.receivedBlockMap[mapIndex] = 1;
      } else {
        markBlock(info.col, info.row, colours::badBlock);
      }
      Image2.show(errorPicture);
      state.blockStreamIdle = false;
      break;

    case kFrameBsrResponse: {
      if (onMap && state.receivedBlockMap[mapIndex] == 1) break;  // already held: nothing at all
      const bool fromPartner = !state.awaitingBsrReply && OverWrite &&
                               state.decodedCallsign == state.remoteCallsign;
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
        if (!NoErrDecode) decodeReceivedBlock(info, payload);
        markBlock(info.col, info.row, colours::badBlock);
      } else if (!crcGood && fromPartner) {
        markBlock(info.col, info.row, colours::badBlock);
      }
      Image2.show(errorPicture);
      state.blockStreamIdle = false;
      break;
    }

    case kFrameText:
      if (!crcGood) break;
      addMessageLogLine(displayText(payloadText(payload, info.payloadLength)));
      if (observer) observer->textReceived(Memo1.lines.back());
      state.blockStreamIdle = true;
      break;

    case kFrameCallsign:
      if (!crcGood) break;
      state.decodedCallsign = payloadText(payload, info.payloadLength);
      Panel4.font = colours::goodBlock;
      showDecodedCallsign();
      state.previousCallsign = state.decodedCallsign;
      break;

    default:
      break;
  }
}

// Decodes a block into rxPicture from the start of the payload. The codec writes only inside
// the picture, so a block position beyond the 20 x 15 grid decodes nothing.
void TForm1::decodeReceivedBlock(const RxFrameInfo& info, const BitBuffer& payload) {
  BitBuffer& bits = state.payloadBits;
  if (&payload != &bits) bits.cells = payload.cells;
  bits.cursor = 0;
  decodeMacroblock(bits, info.col, info.row, rxPicture, scaleTable[info.scaleIndex & (kScaleCount - 1)]);
}

// Two by two pixels per block on the error map; pixels outside the map are skipped.
void TForm1::markBlock(int col, int row, Colour colour) {
  putPixel(2 * col, 2 * row, errorPicture, colour);
  putPixel(2 * col, 2 * row + 1, errorPicture, colour);
  putPixel(2 * col + 1, 2 * row, errorPicture, colour);
  putPixel(2 * col + 1, 2 * row + 1, errorPicture, colour);
}

void TForm1::clearReceptionLabels() {
  state.rxKindText.clear();
  Label9.caption.clear();
  Label5.caption.clear();
  Label8.caption.clear();
}

void TForm1::showDecodedCallsign() { Panel4.caption = displayText(state.decodedCallsign); }
