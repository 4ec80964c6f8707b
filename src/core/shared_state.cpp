#include "core/shared_state.h"

BsrButtonState sendBsrButtonState(int missingBlockCount) {
  if (missingBlockCount != 0 && missingBlockCount != kBlockCount)
    return {"Send " + std::to_string(missingBlockCount) + " BSR", true};
  return {"Send BSR", false};
}

BsrButtonState respBsrButtonState(int requestedBlockCount) {
  if (requestedBlockCount != 0) return {"Resp " + std::to_string(requestedBlockCount) + " BSR", true};
  return {"Resp BSR", false};
}
