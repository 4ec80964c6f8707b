#include "rx/receive_step.h"

#include <climits>

void receiveStep(ReceiverState& rx, std::span<const int16_t, kInputBufferSamples> samples,
                 const ReceiveSettings& settings, BitBuffer& payloadBits, ReceiveHost& host) {
  if (settings.txInProgress && !settings.waveLoopMode) return;

  // Marks the step as running until it returns, also when a host call throws.
  struct ActiveMark {
    bool& flag;
    explicit ActiveMark(bool& f) : flag(f) { flag = true; }
    ~ActiveMark() { flag = false; }
  } active(rx.stepActive);

  conditionInput(rx.input, samples, settings.inputGain);
  const std::span<const double, kBlockSamples> block(rx.input.decimatedBlock);

  if (host.levelDialogShowing()) host.showLevelPeaks({.input = inputPeak(block), .output = 0.0});

  host.waterfallStep(block.data(), kBlockSamples);
  if (settings.SubDisp) host.showWaterfall();

  SymbolDispatcher dispatcher(rx, payloadBits, host);
  demodulateBlock(rx.demod, block, dispatcher);

  host.eyeDiagramStep(rx.demod.freqTrace.data(), rx.demod.symbolMarks.data(), kBlockSamples,
                      rx.demod.symbolCount);

  if (rx.rxBufferCount < INT_MAX) ++rx.rxBufferCount;
  if (rx.rxTimeoutArmed && rx.rxBufferCount >= settings.TimeOut * kInputBuffersPerSecond)
    host.onTimeout();

  if (settings.ShowClock) host.drawClockOverlay();
}
