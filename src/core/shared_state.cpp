#include "core/shared_state.h"

std::string sendBsrCaption(int count) { return "Send " + std::to_string(count) + " BSR"; }

std::string respBsrCaption(int count) { return "Resp " + std::to_string(count) + " BSR"; }

BsrButtonState sendBsrButtonState(int missingBlockCount) {
  if (missingBlockCount != 0 && missingBlockCount != kBlockCount)
    return {sendBsrCaption(missingBlockCount), true};
  return {"Send BSR", false};
}

BsrButtonState respBsrButtonState(int requestedBlockCount) {
  if (requestedBlockCount != 0) return {respBsrCaption(requestedBlockCount), true};
  return {"Resp BSR", false};
}
