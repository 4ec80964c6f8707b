#include "audio/device_rings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/station_loop.h"
#include "support/fake_audio_backend.h"
#include "support/function_station_handlers.h"

namespace {

struct Rig {
  FakeAudioBackend backend;
  RecordedDeviceErrors errors;
  MessageQueue queue;
  DeviceRings rings{backend, errors, queue};
  std::vector<std::vector<int16_t>> heard;
  int playedSteps = 0;
  FunctionStationHandlers steps{[this](const int16_t* s) { heard.emplace_back(s, s + kBufferSamples); },
                                [this] { ++playedSteps; }};
  StationLoop loop{queue, rings, steps};

  std::vector<std::string> texts() const { return errors.texts; }
};

std::vector<int16_t> constantBuffer(int16_t value) { return std::vector<int16_t>(kBufferSamples, value); }

int count(const std::vector<std::string>& log, const std::string& prefix) {
  return int(std::count_if(log.begin(), log.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
}

TEST(DeviceRings, DeviceChoiceZeroIsTheDefaultAndKIsDeviceKMinusOne) {
  Rig r;
  ASSERT_TRUE(r.rings.openInputDevice(0));
  ASSERT_TRUE(r.rings.openOutputDevice(0));
  ASSERT_TRUE(r.rings.openInputDevice(2));
  ASSERT_TRUE(r.rings.openOutputDevice(1));
  EXPECT_EQ(r.backend.inputDevicesOpened, (std::vector<int>{kDefaultAudioDevice, 1}));
  EXPECT_EQ(r.backend.outputDevicesOpened, (std::vector<int>{kDefaultAudioDevice, 0}));
  EXPECT_TRUE(r.errors.texts.empty());
  // The input records into all 32 buffers at once; the output stays silent until queued.
  EXPECT_EQ(r.backend.input->queued(), 32u);
  EXPECT_TRUE(r.backend.input->running());
  EXPECT_EQ(r.backend.output->queued(), 0u);
  EXPECT_EQ(count(r.backend.log, "start"), 2);  // once per input opening
}

TEST(DeviceRings, FailedOutputOpenIsReportedAndReceptionGoesOn) {
  Rig r;
  r.backend.failOutputOpen = true;
  EXPECT_FALSE(r.rings.openOutputDevice(0));
  EXPECT_TRUE(r.rings.openInputDevice(0));
  EXPECT_EQ(r.texts(), std::vector<std::string>{"Can not open the play device"});
  EXPECT_FALSE(r.rings.outputOpen());
  EXPECT_FALSE(r.rings.queueOutputBuffer(constantBuffer(5).data()));

  ASSERT_TRUE(r.backend.fillInput([](int i) { return int16_t(i % 100); }));
  EXPECT_EQ(r.loop.pump(), 1);
  ASSERT_EQ(r.heard.size(), 1u);
  EXPECT_EQ(r.heard[0][99], 99);
  EXPECT_EQ(r.heard[0][100], 0);
}

TEST(DeviceRings, FailedInputOpenIsReportedWithTheProgramsSpelling) {
  Rig r;
  r.backend.failInputOpen = true;
  EXPECT_TRUE(r.rings.openOutputDevice(0));
  EXPECT_FALSE(r.rings.openInputDevice(3));
  EXPECT_EQ(r.texts(), std::vector<std::string>{"Can not open the recoding device"});
  EXPECT_FALSE(r.rings.inputOpen());
  EXPECT_EQ(r.rings.handBackInputBuffer(), nullptr);
}

TEST(DeviceRings, BufferFailureReportsAndReleasesEverything) {
  struct Case {
    bool input;
    int failPrepareAt, failQueueAt;
  };
  for (Case c : {Case{false, 0, -1}, Case{false, 17, -1}, Case{false, 31, -1}, Case{true, 0, -1},
                 Case{true, 31, -1}, Case{true, -1, 0}, Case{true, -1, 9}, Case{true, -1, 31}}) {
    SCOPED_TRACE(std::to_string(c.input) + " " + std::to_string(c.failPrepareAt) + " " +
                 std::to_string(c.failQueueAt));
    Rig r;
    r.backend.failPrepareAt = c.failPrepareAt;
    r.backend.failQueueAt = c.failQueueAt;
    bool opened = c.input ? r.rings.openInputDevice(0) : r.rings.openOutputDevice(0);
    EXPECT_FALSE(opened);
    EXPECT_EQ(r.texts(), std::vector<std::string>{"Can not get the buffer"});
    // Released: every buffer that got prepared is unprepared, none still queued, device closed.
    int prepared = c.failPrepareAt >= 0 ? c.failPrepareAt : c.failQueueAt + 1;
    EXPECT_EQ(count(r.backend.log, "unprepare"), prepared);
    EXPECT_EQ(r.backend.unpreparedWhileQueued, 0);
    EXPECT_EQ(r.backend.log.back(), "close");
    EXPECT_EQ(count(r.backend.log, "start"), 0);
    EXPECT_FALSE(c.input ? r.rings.inputOpen() : r.rings.outputOpen());
    EXPECT_EQ(r.backend.input, nullptr);
    EXPECT_EQ(r.backend.output, nullptr);
    // A later attempt starts clean.
    r.backend.failPrepareAt = r.backend.failQueueAt = -1;
    EXPECT_TRUE(c.input ? r.rings.openInputDevice(0) : r.rings.openOutputDevice(0));
  }
}

TEST(DeviceRings, ClosingTheOutputTakesQueuedBuffersBackBeforeFreeingThem) {
  Rig r;
  ASSERT_TRUE(r.rings.openOutputDevice(0));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(r.rings.queueOutputBuffer(constantBuffer(int16_t(i)).data()));
  EXPECT_EQ(r.backend.output->queued(), 3u);
  r.backend.log.clear();
  r.rings.closeOutputDevice();
  ASSERT_FALSE(r.backend.log.empty());
  EXPECT_EQ(r.backend.log.front(), "reset 3");
  EXPECT_EQ(count(r.backend.log, "unprepare"), 32);
  EXPECT_EQ(r.backend.unpreparedWhileQueued, 0);
  EXPECT_EQ(r.backend.log.back(), "close");
  EXPECT_FALSE(r.rings.outputOpen());
  EXPECT_EQ(r.rings.outputBufferIndex(), 0);
  r.rings.closeOutputDevice();  // closing a closed device does nothing
  EXPECT_EQ(count(r.backend.log, "close"), 1);

  // A write the device refuses is reported as not queued (and the ring still moves on).
  ASSERT_TRUE(r.rings.openOutputDevice(0));
  r.backend.failQueueAt = 0;
  EXPECT_FALSE(r.rings.queueOutputBuffer(constantBuffer(7).data()));
  EXPECT_EQ(r.rings.outputBuffersQueued(), 0);
  EXPECT_EQ(r.rings.outputBufferIndex(), 1);
}

TEST(DeviceRings, ClosingTheInputStopsResetsAndFrees) {
  Rig r;
  ASSERT_TRUE(r.rings.openInputDevice(0));
  r.backend.log.clear();
  r.rings.closeInputDevice();
  ASSERT_EQ(r.backend.log.size(), 35u);
  EXPECT_EQ(r.backend.log[0], "stop");
  EXPECT_EQ(r.backend.log[1], "reset 32");
  EXPECT_EQ(r.backend.log.back(), "close");
  EXPECT_EQ(r.backend.unpreparedWhileQueued, 0);
}

TEST(DeviceRings, InputRingHandsBackInOrderAndWraps) {
  Rig r;
  ASSERT_TRUE(r.rings.openInputDevice(0));
  // 70 buffers: the ring goes round twice; each buffer comes back to the device at once.
  for (int k = 0; k < 70; ++k) {
    ASSERT_TRUE(r.backend.fillInput([k](int i) { return int16_t(k * 7 + (i & 1)); }));
    EXPECT_EQ(r.loop.pump(), 1);
    EXPECT_EQ(r.rings.inputBufferIndex(), (k + 1) % 32);
    EXPECT_EQ(r.backend.input->queued(), 32u);
    ASSERT_EQ(r.heard.size(), size_t(k + 1));
    EXPECT_EQ(r.heard[k][0], k * 7);
    EXPECT_EQ(r.heard[k][kBufferSamples - 1], k * 7 + 1);
  }
}

TEST(DeviceRings, OutputRingWrapsAndNeverOverwritesABufferStillQueued) {
  Rig r;
  ASSERT_TRUE(r.rings.openOutputDevice(0));
  for (int k = 0; k < 32; ++k) EXPECT_TRUE(r.rings.queueOutputBuffer(constantBuffer(int16_t(k)).data()));
  EXPECT_EQ(r.rings.outputBufferIndex(), 0);  // 31 wrapped to 0
  EXPECT_FALSE(r.rings.queueOutputBuffer(constantBuffer(99).data()));
  EXPECT_EQ(r.rings.outputBufferIndex(), 0);

  auto first = r.backend.playOutput();
  ASSERT_TRUE(first);
  EXPECT_EQ((*first)[0], 0);
  EXPECT_EQ(r.loop.pump(), 1);
  EXPECT_EQ(r.playedSteps, 1);
  EXPECT_TRUE(r.rings.queueOutputBuffer(constantBuffer(32).data()));
  EXPECT_EQ(r.rings.outputBufferIndex(), 1);
  // Played in queue order, the re-used buffer last.
  for (int k = 1; k <= 32; ++k) {
    auto played = r.backend.playOutput();
    ASSERT_TRUE(played);
    EXPECT_EQ((*played)[kBufferSamples - 1], k);
  }
  EXPECT_FALSE(r.backend.playOutput());
}

TEST(DeviceRings, DeviceChangeRestartsBothRingsAndDropsTheOldDevicesMessages) {
  Rig r;
  ASSERT_TRUE(r.rings.openOutputDevice(0));
  ASSERT_TRUE(r.rings.openInputDevice(0));
  for (int k = 0; k < 5; ++k) r.backend.fillInput([](int) { return int16_t(1); });
  for (int k = 0; k < 7; ++k) r.rings.queueOutputBuffer(constantBuffer(2).data());
  r.backend.playOutput();
  r.loop.pump();
  EXPECT_EQ(r.rings.inputBufferIndex(), 5);
  EXPECT_EQ(r.rings.outputBufferIndex(), 7);

  // Messages posted by the old devices are still waiting when the devices change.
  r.backend.fillInput([](int) { return int16_t(3); });
  r.backend.playOutput();
  ASSERT_EQ(r.queue.size(), 2u);

  r.rings.closeInputDevice();
  r.rings.closeOutputDevice();
  EXPECT_EQ(r.rings.inputBufferIndex(), 0);
  EXPECT_EQ(r.rings.outputBufferIndex(), 0);
  ASSERT_TRUE(r.rings.openOutputDevice(2));
  ASSERT_TRUE(r.rings.openInputDevice(1));
  EXPECT_EQ(r.rings.inputBufferIndex(), 0);
  EXPECT_EQ(r.rings.outputBufferIndex(), 0);

  size_t heardBefore = r.heard.size();
  int playedBefore = r.playedSteps;
  EXPECT_EQ(r.loop.pump(), 0);
  EXPECT_EQ(r.heard.size(), heardBefore);
  EXPECT_EQ(r.playedSteps, playedBefore);
  EXPECT_EQ(r.rings.inputBufferIndex(), 0);
  EXPECT_EQ(r.backend.input->queued(), 32u);
}

TEST(StationLoop, StepsRunInArrivalOrder) {
  Rig r;
  std::string order;
  FunctionStationHandlers steps([&](const int16_t* s) { order += "i" + std::to_string(s[0]); },
                                [&] { order += "o"; });
  StationLoop loop(r.queue, r.rings, steps);
  ASSERT_TRUE(r.rings.openOutputDevice(0));
  ASSERT_TRUE(r.rings.openInputDevice(0));
  for (int k = 0; k < 3; ++k) r.rings.queueOutputBuffer(constantBuffer(0).data());
  r.backend.fillInput([](int) { return int16_t(1); });
  r.backend.playOutput();
  r.backend.playOutput();
  r.backend.fillInput([](int) { return int16_t(2); });
  r.backend.playOutput();
  EXPECT_EQ(loop.pump(), 5);
  EXPECT_EQ(order, "i1ooi2o");
  EXPECT_EQ(r.rings.outputBuffersQueued(), 0);
}

}  // namespace
