#pragma once
// A ReceiveHost that records every event of the receiver: frame headers and payloads (with a
// copy of the payload's L + 16 bits), time-outs, level peaks and display hook calls. It can
// optionally disarm the time-out like finishReception does.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "rx/receive_host.h"

struct RecordedPayload {
  RxFrameInfo info;
  std::vector<uint8_t> bits;  // L data bits then 16 check bits
  bool crcGood = false;
};

class RecordingReceiveHost : public ReceiveHost {
 public:
  // Optional: the armed flag to clear on time-out (as finishReception does).
  bool* timeoutArmedFlag = nullptr;
  bool levelDialogVisible = false;

  std::vector<RxFrameInfo> headers;
  std::vector<RecordedPayload> payloads;
  int timeouts = 0;
  int waterfallCalls = 0;
  int showWaterfallCalls = 0;
  int eyeDiagramCalls = 0;
  int clockOverlayCalls = 0;
  int lastSymbolCount = 0;
  int totalSymbols = 0;
  std::vector<LevelPeaks> levelPeaks;
  // Order of every event, for checks of sequencing: 'H' header, 'P' payload, 'T' time-out.
  std::vector<char> events;

  bool levelDialogShowing() override { return levelDialogVisible; }
  void showLevelPeaks(const LevelPeaks& peaks) override { levelPeaks.push_back(peaks); }
  void waterfallStep(const double*, int) override { ++waterfallCalls; }
  void showWaterfall() override { ++showWaterfallCalls; }
  void eyeDiagramStep(const double*, const uint8_t*, int, int symbolCount) override {
    ++eyeDiagramCalls;
    lastSymbolCount = symbolCount;
    totalSymbols += symbolCount;
  }
  void onTimeout() override {
    ++timeouts;
    events.push_back('T');
    if (timeoutArmedFlag) *timeoutArmedFlag = false;
  }
  void drawClockOverlay() override { ++clockOverlayCalls; }
  void onFrameHeader(const RxFrameInfo& info) override {
    headers.push_back(info);
    events.push_back('H');
  }
  void onFramePayload(const RxFrameInfo& info, const BitBuffer& payload, bool crcGood) override {
    RecordedPayload p;
    p.info = info;
    const int n = std::min(info.payloadLength + 16, BitBuffer::kCells);
    p.bits.assign(payload.cells.begin(), payload.cells.begin() + n);
    p.crcGood = crcGood;
    payloads.push_back(std::move(p));
    events.push_back('P');
  }
};
