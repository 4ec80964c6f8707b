#include "rx/receive_step.h"

#include <climits>

namespace {

// The tolerant and the coherent receiver: the discriminator and the clock place the readings;
// the coherent one holds each reading back until the samples its equalizer needs are in.
void readTrackedBlock(ReceiverState& rx, std::span<const int16_t, kInputBufferSamples> samples,
                      std::span<const double, kBlockSamples> block, bool coherent,
                      BitBuffer& payloadBits, ReceiveHost& host) {
  discriminateBlock(rx.demod, block);
  rx.detector.load(rx.demod);
  CoherentDetector& held = rx.coherent;
  if (coherent) held.load(samples, int64_t(rx.blockStart));
  auto readReady = [&] {
    while (held.ready(int64_t(rx.blockStart), rx.frame.inFrame))
      receiveTrackedSymbol(rx, held.take(), payloadBits, host, true);
  };
  if (coherent) readReady();
  clockSymbols(rx.demod, [&](double, int j) {
    SymbolDetector::Reading r;
    const ToneTracker& levels = rx.traceTones;
    if (!rx.detector.readAt(j, levels.currentCentre(rx.frame.inFrame), levels.deviation, r))
      return;
    if (!coherent) {
      receiveTrackedSymbol(rx, r, payloadBits, host);
      return;
    }
    held.queue(r);
    readReady();
  });
  rx.detector.carry();
  if (coherent) held.carry();
  rx.blockStart += kBlockSamples;
}

}  // namespace

void receiveStep(ReceiverState& rx, std::span<const int16_t, kInputBufferSamples> samples,
                 const ReceiveSettings& settings, BitBuffer& payloadBits, ReceiveHost& host) {
  if (settings.txInProgress && !settings.waveLoopMode) return;

  conditionInput(rx.input, samples, settings.inputGain);
  const std::span<const double, kBlockSamples> block(rx.input.decimatedBlock);

  if (host.levelDialogShowing()) host.showLevelPeaks({.input = inputPeak(block), .output = 0.0});

  host.waterfallStep(block.data(), kBlockSamples);
  if (settings.showWaterfall) host.showWaterfall();

  // Every symbol instant goes straight on to its decision, the sync search and the frame
  // reader, so a frame can begin, end and be acted on in the middle of the block.
  if (settings.receiver == ReceiverKind::specified) {
    demodulateBlock(rx.demod, block,
                    [&](double d) { receiveSymbol(rx, d, payloadBits, host); });
  } else {
    const bool coherent = settings.receiver == ReceiverKind::coherent;
    rx.coherent.boundaryDecoding = settings.boundaryDecoding;
    readTrackedBlock(rx, samples, block, coherent, payloadBits, host);
  }

  host.eyeDiagramStep(rx.demod.freqTrace.data(), rx.demod.symbolMarks.data(), kBlockSamples,
                      rx.demod.symbolCount);

  if (rx.rxBufferCount < INT_MAX) ++rx.rxBufferCount;
  if (rx.rxTimeoutArmed && rx.rxBufferCount >= settings.timeoutSeconds * kInputBuffersPerSecond)
    host.onTimeout();

  if (settings.showClock) host.drawClockOverlay();
}
