#pragma once
// A stand-in for the main window as the transmitter sees it: fixed control values, a
// recording output ring, level meter, BSR captions, push-to-talk and end-of-transmission log.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tx/transmit_host.h"

class FakeTransmitHost : public TransmitHost {
 public:
  FrameSources sources;
  int callSend = 5;
  int etxData = 10;
  bool keepAudio = true;  // false: only count buffers (long transmissions)
  std::vector<int16_t> audio;
  int buffersQueued = 0;
  bool levelDialog = false;
  std::vector<LevelPeaks> peaks;
  std::vector<int> requestCounts;
  std::vector<int> responseCounts;
  int pttOpens = 0;
  int pttCloses = 0;
  int endings = 0;
  std::function<void()> onClosePtt;  // runs inside closePtt, to look at the state then

  const FrameSources& frameSources() override { return sources; }
  int numCallSend() override { return callSend; }
  int numEtxData() override { return etxData; }
  void queueOutputBuffer(const int16_t* samples, int count) override {
    ++buffersQueued;
    if (keepAudio) audio.insert(audio.end(), samples, samples + count);
  }
  bool levelDialogShowing() override { return levelDialog; }
  void showLevelPeaks(const LevelPeaks& levels) override { peaks.push_back(levels); }
  void bsrRequestCountChanged(int count) override { requestCounts.push_back(count); }
  void bsrResponseCountChanged(int count) override { responseCounts.push_back(count); }
  void openPtt() override { ++pttOpens; }
  void closePtt() override {
    ++pttCloses;
    if (onClosePtt) onClosePtt();
  }
  void transmissionEnded() override { ++endings; }
};
