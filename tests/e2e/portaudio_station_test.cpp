// Two stations on a real sound server through the PortAudio backend: station A plays into a
// null sink, station B records the sink's monitor. A sends a text (MSK) and then answers a
// block re-send request with four picture blocks (4L-FSK, coded); B must read every frame with
// good checks, exactly as it does on simulated air. Runs in real time (about 13 s); skipped
// without the server (scripts/start-test-audio starts one).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/device_rings.h"
#include "audio/portaudio_backend.h"
#include "e2e/station_link.h"
#include "support/sound_library_leaks.h"
#include "framing/frame_bits.h"
#include "support/test_audio_server.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr BlockPosition kRequested[] = {{0, 0}, {7, 3}, {12, 9}, {19, 14}};

Picture stripes() {
  Picture p(320, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x)
      p.set(x, y, Colour{uint8_t(x * 255 / 320), uint8_t((x / 8 + y / 8) % 2 ? 200 : 40), uint8_t(y)});
  return p;
}

// The sender's side of the scenario; `run(a)` drives the stations until A's transmission is
// over and its sound has reached B.
template <typename Run>
void sendTextThenBlocks(MainWindow& a, Run run) {
  a.textEdit.text = "Real air check 73";
  a.sendTextClicked();
  ASSERT_TRUE(a.state.txInProgress);
  run();
  a.clipboardPicture = stripes();
  a.state.imageFromClipboard = true;
  a.scaleCombo.index = 15;
  a.codeCombo.index = 1;  // convolution-coded payloads in 4L-FSK for the blocks
  a.modeCombo.index = 1;
  a.state.fourLevelMode = true;
  a.state.requestedBlockCount = int(std::size(kRequested));
  std::copy(std::begin(kRequested), std::end(kRequested), a.state.requestedBlockList.begin());
  a.respBsrButton.down = true;
  a.respBsrClicked();
  ASSERT_TRUE(a.state.txInProgress);
  run();
}

struct RealAudioStations {
  RealAudioStations() {
    a = std::make_unique<MainWindow>(platformA, StationDevices{&backend});
    b = std::make_unique<MainWindow>(platformB, StationDevices{&backend});
    a->settings.callsign = "JA1ABC";
    b->settings.callsign = "DL2XYZ";
    a->openDevices();
    b->openDevices();
    b->frameListener = &heardByB;
  }

  // Pumps both stations until A has finished sending, then for `tail` more so that the last
  // sound passes the sink, the monitor and B's input buffer. False at the deadline.
  bool runTransmission(Clock::time_point deadline, std::chrono::milliseconds tail = std::chrono::milliseconds(2500)) {
    Clock::time_point endAt = Clock::time_point::max();
    while (Clock::now() < endAt) {
      if (Clock::now() > deadline) return false;
      a->pumpMessages();
      b->pumpMessages();
      for (const std::string& e : backend.takeErrors()) errors.push_back(e);
      if (!a->state.txInProgress && endAt == Clock::time_point::max()) endAt = Clock::now() + tail;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  PortAudioBackend backend;
  FakePlatform platformA, platformB;
  std::unique_ptr<MainWindow> a, b;
  RecordingReceiveHost heardByB;
  std::vector<std::string> errors;
};

}  // namespace

TEST(PortAudioStations, TextAndResentBlocksCrossARealSoundServerIntact) {
  if (std::string why = testAudioServerMissing(); !why.empty()) GTEST_SKIP() << why;

  // What B reads on simulated air is the reference.
  StationLink simulated;
  sendTextThenBlocks(*simulated.a, [&] { simulated.runTransmission(); });
  const std::vector<RecordedPayload>& expected = simulated.heardByB.payloads;
  ASSERT_EQ(simulated.heardByB.headers.size(), 1u + 10 + 6 + 4 + 10);
  ASSERT_EQ(expected.size(), 1u + 6 + 4) << "text, callsign and block frames carry payloads";

  RealAudioStations real;
  ASSERT_TRUE(real.a->deviceRings()->outputOpen()) << real.backend.error();
  ASSERT_TRUE(real.b->deviceRings()->inputOpen()) << real.backend.error();
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::seconds(90);
  sendTextThenBlocks(*real.a, [&] { ASSERT_TRUE(real.runTransmission(deadline)) << "no end in 90 s"; });
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("real-audio run: %.1f s, %zu frames heard\n", took, real.heardByB.headers.size());

  EXPECT_TRUE(real.errors.empty()) << real.errors.front();
  EXPECT_TRUE(real.platformA.messages.empty());
  EXPECT_TRUE(real.platformB.messages.empty());
  EXPECT_EQ(real.heardByB.headers, simulated.heardByB.headers);
  const std::vector<RecordedPayload>& heard = real.heardByB.payloads;
  ASSERT_EQ(heard.size(), expected.size());
  for (size_t i = 0; i < heard.size(); ++i) {
    EXPECT_TRUE(heard[i].crcGood) << "frame " << i;
    EXPECT_EQ(heard[i].info, expected[i].info) << "frame " << i;
    EXPECT_EQ(heard[i].bits, expected[i].bits) << "frame " << i;
  }
  EXPECT_EQ(heard.front().info.kind, kFrameText);
  EXPECT_EQ(heard.back().info.kind, kFrameBsrResponse);
  EXPECT_TRUE(heard.back().info.fourLevel && heard.back().info.coded);
}
