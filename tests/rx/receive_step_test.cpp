#include "rx/receive_step.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/recording_receive_host.h"
#include "support/rx_test_signal.h"

namespace {

struct Station {
  std::unique_ptr<ReceiverState> rx = std::make_unique<ReceiverState>();
  std::unique_ptr<BitBuffer> payload = std::make_unique<BitBuffer>();
  RecordingReceiveHost host;
  ReceiveSettings settings;
  Station() { host.timeoutArmedFlag = &rx->rxTimeoutArmed; }

  void step(const int16_t* samples) {
    receiveStep(*rx, std::span<const int16_t, kInputBufferSamples>(samples, kInputBufferSamples),
                settings, *payload, host);
  }
  // Runs every buffer of a signal; returns the step number (1-based) of each event in order.
  void run(const std::vector<int16_t>& signal) {
    for (size_t at = 0; at + kInputBufferSamples <= signal.size(); at += kInputBufferSamples)
      step(signal.data() + at);
  }
};

const std::vector<int16_t> kSilence(kInputBufferSamples, 0);

TEST(ReceiveStep, TimeOutFiresInThe120thStepCountedFromTheHeaderStep) {
  Station s;
  s.settings.timeoutSeconds = 30;
  // One buffer of silence, then a transmission whose end frame header lands in some step.
  const auto frame = rxtest::makeFrame(kFrameEnd, false, false, 20, 15, 1, 0, 1);
  const auto signal = rxtest::fskSignal(
      rxtest::symbolTones(rxtest::transmissionBits({frame}, false), false), {.tailSeconds = 0.1});
  int headerStep = 0, step = 0;
  for (size_t at = 0; at < signal.size(); at += kInputBufferSamples) {
    ++step;
    s.step(signal.data() + at);
    if (headerStep == 0 && !s.host.headers.empty()) headerStep = step;
  }
  ASSERT_GT(headerStep, 0);
  s.rx->rxTimeoutArmed = true;  // as a block header would
  while (s.host.timeouts == 0 && step < 1000) {
    ++step;
    s.step(kSilence.data());
  }
  EXPECT_EQ(step - headerStep + 1, 120);
  EXPECT_FALSE(s.rx->rxTimeoutArmed);
  // Disarmed: no further time-outs however long it stays quiet.
  for (int i = 0; i < 200; ++i) s.step(kSilence.data());
  EXPECT_EQ(s.host.timeouts, 1);
}

TEST(ReceiveStep, TimeOutOnlyWhenArmed) {
  Station s;
  s.settings.timeoutSeconds = 1;
  for (int i = 0; i < 10; ++i) s.step(kSilence.data());
  EXPECT_EQ(s.host.timeouts, 0);
  EXPECT_EQ(s.rx->rxBufferCount, 10);
  s.rx->rxTimeoutArmed = true;
  s.step(kSilence.data());
  EXPECT_EQ(s.host.timeouts, 1);
}

TEST(ReceiveStep, TransmittingWithoutWaveLoopSkipsEverything) {
  Station s;
  s.settings.txInProgress = true;
  s.settings.showClock = true;
  s.host.levelDialogVisible = true;
  s.rx->rxTimeoutArmed = true;
  s.settings.timeoutSeconds = 0;
  const auto frame = rxtest::makeFrame(kFrameCallsign, false, false, 0, 0, 1, 32, 2);
  const auto signal =
      rxtest::fskSignal(rxtest::symbolTones(rxtest::transmissionBits({frame}, false), false));
  s.run(signal);
  EXPECT_EQ(s.rx->rxBufferCount, 0);
  EXPECT_EQ(s.host.timeouts, 0);
  EXPECT_EQ(s.host.waterfallCalls + s.host.eyeDiagramCalls + s.host.clockOverlayCalls, 0);
  EXPECT_TRUE(s.host.levelPeaks.empty());
  EXPECT_TRUE(s.host.headers.empty());
  EXPECT_EQ(s.host.totalSymbols, 0);

  // In wave loop mode the same signal is received while transmitting.
  Station loop;
  loop.settings.txInProgress = true;
  loop.settings.waveLoopMode = true;
  loop.run(signal);
  ASSERT_EQ(loop.host.payloads.size(), 1u);
  EXPECT_TRUE(loop.host.payloads[0].crcGood);
}

TEST(ReceiveStep, HooksRunInOrderAndOnlyWhenAsked) {
  Station s;
  s.settings.showWaterfall = false;
  s.step(kSilence.data());
  EXPECT_EQ(s.host.waterfallCalls, 1);
  EXPECT_EQ(s.host.showWaterfallCalls, 0);
  EXPECT_EQ(s.host.eyeDiagramCalls, 1);
  EXPECT_EQ(s.host.lastSymbolCount, 1);  // the start-up instant
  EXPECT_EQ(s.host.clockOverlayCalls, 0);
  EXPECT_TRUE(s.host.levelPeaks.empty());

  s.settings.showWaterfall = true;
  s.settings.showClock = true;
  s.host.levelDialogVisible = true;
  std::vector<int16_t> negative(kInputBufferSamples, -20000);
  s.step(negative.data());
  EXPECT_EQ(s.host.showWaterfallCalls, 1);
  EXPECT_EQ(s.host.clockOverlayCalls, 1);
  ASSERT_EQ(s.host.levelPeaks.size(), 1u);
  EXPECT_EQ(s.host.levelPeaks[0], (LevelPeaks{.input = 0.0, .output = 0.0}));

  std::vector<int16_t> positive(kInputBufferSamples, 1000);
  s.settings.inputGain = 0.5;
  s.step(positive.data());
  ASSERT_EQ(s.host.levelPeaks.size(), 2u);
  EXPECT_GT(s.host.levelPeaks[1].input, 400.0);  // gain applied: about 500
  EXPECT_LT(s.host.levelPeaks[1].input, 600.0);
  EXPECT_EQ(s.host.levelPeaks[1].output, 0.0);
}

}  // namespace
