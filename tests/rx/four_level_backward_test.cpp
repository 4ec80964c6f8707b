// A four-level payload read backward from the next frame's sync word, through a channel fitted
// to that word in reverse time: on a clean signal every channel bit comes out as sent, for an
// odd number of bits (followed by a zero bit and a symbol of zeros) as for an even one. A
// phase or a symbol astray at the turn of time garbles the reading.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "rx/receive_step.h"
#include "support/rx_test_signal.h"

namespace {

// At each header, reads the payload before it backward and counts the bits read wrong.
struct BackwardReadingHost : ReceiveHost {
  ReceiverState* rx = nullptr;
  std::vector<std::vector<uint8_t>> sentBefore;  // by header: the payload's channel bits
  size_t headers = 0;
  std::vector<int> wrongBits;

  void onFrameHeader(const RxFrameInfo&) override {
    const std::vector<uint8_t>& sent = sentBefore.at(headers++);
    if (sent.empty()) return;
    std::vector<double> read(sent.size());
    rx->coherent.readFourLevelBackward(read, false);
    int wrong = 0;
    for (size_t i = 0; i < sent.size(); ++i) wrong += (read[i] > 0) != (sent[i] == 1);
    wrongBits.push_back(wrong);
  }
  void onFramePayload(const RxFrameInfo&, const BitBuffer&, bool) override {}
};

TEST(FourLevelBackward, ReadsOddAndEvenPayloadsAsSent) {
  const std::vector<rxtest::TestFrame> frames = {
      rxtest::makeFrame(kFrameImageBlock, false, true, 0, 0, 6, 301, 1),  // 317 channel bits
      rxtest::makeFrame(kFrameImageBlock, true, true, 1, 0, 6, 200, 2),   // 432
      rxtest::makeFrame(kFrameImageBlock, false, true, 2, 0, 6, 150, 3),  // 166
      rxtest::makeFrame(kFrameEnd, false, true, 0, 0, 6, 0, 4)};
  auto rx = std::make_unique<ReceiverState>();
  auto payload = std::make_unique<BitBuffer>();
  BackwardReadingHost host;
  host.rx = rx.get();
  host.sentBefore = {{}};
  for (size_t f = 0; f + 1 < frames.size(); ++f)
    host.sentBefore.push_back(rxtest::payloadChannelBits(frames[f]));
  const auto signal = rxtest::fskSignal(
      rxtest::symbolTones(rxtest::transmissionBits(frames, true), true), {.noise = 100});
  const ReceiveSettings settings{.showWaterfall = false};
  for (size_t at = 0; at + kInputBufferSamples <= signal.size(); at += kInputBufferSamples) {
    const std::span<const int16_t, kInputBufferSamples> buffer(&signal[at], kInputBufferSamples);
    receiveStep(*rx, buffer, settings, *payload, host);
  }
  EXPECT_EQ(host.wrongBits, (std::vector<int>{0, 0, 0}));
}

}  // namespace
