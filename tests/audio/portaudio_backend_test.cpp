// The PortAudio backend on a real sound server: the device rings play a tone into a null sink
// and record it back from the sink's monitor, at four buffers per second in each direction; a
// stream whose sound server dies is reported once and harms nothing. The tests that need
// the server skip without one (scripts/start-test-audio starts it).
#include "audio/portaudio_backend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "audio/device_rings.h"
#include "support/completion_fn.h"
#include "support/fake_audio_backend.h"
#include "support/signal_measures.h"
#include "support/sound_library_leaks.h"
#include "support/test_audio_server.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Intervals {
  double mean = 0, worst = 0;  // mean period and the largest departure from 0.25 s
};

Intervals intervals(const std::vector<Clock::time_point>& t) {
  Intervals r;
  if (t.size() < 2) return r;
  r.mean = seconds(t.back() - t.front()) / double(t.size() - 1);
  for (size_t i = 1; i < t.size(); ++i) r.worst = std::max(r.worst, std::abs(seconds(t[i] - t[i - 1]) - 0.25));
  return r;
}

}  // namespace

TEST(PortAudioBackend, UnknownDeviceNumbersOpenNothingAndSayWhy) {
  PortAudioBackend backend;
  NoCompletion noCompletion;
  const int inputs = int(backend.inputDevices().size());
  const int outputs = int(backend.outputDevices().size());
  EXPECT_EQ(backend.openInput(inputs, noCompletion), nullptr);
  if (backend.initialised()) {
    EXPECT_NE(backend.error().find("no sound input device number " + std::to_string(inputs)), std::string::npos)
        << backend.error();
  }
  EXPECT_EQ(backend.openOutput(outputs + 7, noCompletion), nullptr);
  EXPECT_EQ(backend.openOutput(-2, noCompletion), nullptr);
  EXPECT_TRUE(backend.takeErrors().empty());
}

TEST(PortAudioBackend, RingsPlayIntoTheNullSinkAndRecordItBackAtFourBuffersPerSecond) {
  if (std::string why = testAudioServerMissing(); !why.empty()) GTEST_SKIP() << why;
  PortAudioBackend backend;
  ASSERT_TRUE(backend.initialised()) << backend.error();
  MessageQueue messages;
  RecordedDeviceErrors errors;
  DeviceRings rings(backend, errors, messages);
  ASSERT_TRUE(rings.openOutputDevice(0)) << backend.error();
  ASSERT_TRUE(rings.openInputDevice(0)) << backend.error();

  // 1000 Hz fits 250 whole periods into a buffer, so the buffers join without a seam.
  std::vector<int16_t> tone(kBufferSamples);
  for (int i = 0; i < kBufferSamples; ++i) tone[i] = int16_t(std::lround(8000 * std::sin(2 * M_PI * 1000 * i / 48000.0)));
  constexpr int kPlay = 16;
  int queued = 0;
  for (; queued < 3; ++queued) ASSERT_TRUE(rings.queueOutputBuffer(tone.data()));

  std::vector<Clock::time_point> played, filled;
  std::vector<int16_t> recording;
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (int(played.size()) < kPlay + 2 && Clock::now() < deadline) {
    const std::optional<AudioMessage> m = messages.waitAndTake(std::chrono::milliseconds(500));
    if (!m || !rings.isCurrent(*m)) continue;
    if (m->message == kOutputBufferPlayed) {
      played.push_back(Clock::now());
      rings.outputBufferPlayed();
      if (queued < kPlay) {
        rings.queueOutputBuffer(tone.data());
        ++queued;
      }
    } else {
      filled.push_back(Clock::now());
      const int16_t* samples = rings.handBackInputBuffer();
      recording.insert(recording.end(), samples, samples + kBufferSamples);
    }
  }
  EXPECT_TRUE(errors.texts.empty());
  EXPECT_TRUE(backend.takeErrors().empty());
  ASSERT_GE(int(played.size()), kPlay) << "the output stopped completing buffers";
  ASSERT_GE(filled.size(), 12u) << "the input stopped completing buffers";

  // The first played buffers complete at the pace the device's latency takes them in; count the
  // steady state.
  const Intervals out = intervals({played.begin() + 4, played.begin() + kPlay});
  const Intervals in = intervals({filled.begin() + 2, filled.end()});
  std::printf("output buffers every %.4f s (worst departure %.1f ms), input every %.4f s (%.1f ms)\n", out.mean,
              out.worst * 1000, in.mean, in.worst * 1000);
  EXPECT_NEAR(out.mean, 0.25, 0.02);
  EXPECT_NEAR(in.mean, 0.25, 0.02);
  EXPECT_LT(out.worst, 0.2);
  EXPECT_LT(in.worst, 0.2);

  // The tone came back: find its loudest stretch and measure it.
  const auto loudest = std::max_element(recording.begin(), recording.end());
  ASSERT_NE(loudest, recording.end());
  EXPECT_NEAR(*loudest, 8000, 400);
  const size_t start = std::find_if(recording.begin(), recording.end(), [](int16_t s) { return s > 4000; }) -
                       recording.begin();
  ASSERT_LT(start + 2 * kBufferSamples, recording.size());
  EXPECT_NEAR(zeroCrossingFrequency(recording, start + 1000, start + 1000 + kBufferSamples), 1000.0, 1.0);
}

// The contract's bookkeeping on a real device: unprepared buffers are refused, reset hands back
// what was not completed in queue order, and nothing completes after close.
TEST(PortAudioBackend, ResetHandsBackUncompletedBuffersInOrderAndCloseEndsCompletions) {
  if (std::string why = testAudioServerMissing(); !why.empty()) GTEST_SKIP() << why;
  PortAudioBackend backend;
  std::atomic<int> completed{0};
  std::atomic<int> lastIndex{-1};
  CompletionFn completion([&](const AudioBuffer& b) {
    lastIndex.store(b.index);
    completed.fetch_add(1);
  });
  std::unique_ptr<AudioStream> output = backend.openOutput(0, completion);
  ASSERT_NE(output, nullptr) << backend.error();
  std::vector<int16_t> data(4 * kBufferSamples, 500);
  std::vector<AudioBuffer> buffers(4);
  for (int i = 0; i < 4; ++i) buffers[i] = AudioBuffer{data.data() + i * kBufferSamples, kBufferBytes, 0, i};
  EXPECT_FALSE(output->queueBuffer(buffers[0])) << "an unprepared buffer is refused";
  for (AudioBuffer& b : buffers) {
    ASSERT_TRUE(output->prepareBuffer(b));
    ASSERT_TRUE(output->queueBuffer(b));
  }
  EXPECT_FALSE(output->queueBuffer(buffers[2])) << "a queued buffer cannot be queued twice";
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (completed.load() < 1 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_GE(completed.load(), 1) << "nothing was played";
  const std::vector<AudioBuffer*> back = output->reset();
  const int done = completed.load();
  ASSERT_EQ(done + int(back.size()), 4);
  for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i]->index, done + int(i));
  EXPECT_EQ(lastIndex.load(), done - 1);

  // The stream takes buffers again after the reset; after close nothing more completes.
  ASSERT_TRUE(output->queueBuffer(buffers[0]));
  output->close();
  const int atClose = completed.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(completed.load(), atClose);
  EXPECT_FALSE(output->queueBuffer(buffers[1]));
  EXPECT_TRUE(backend.takeErrors().empty());
}

// A sound server of its own, stopped while the stream plays: the stream's device is gone for good.
TEST(PortAudioBackend, OutputWhoseServerDiesIsReportedOnceAndClosesSafely) {
  const std::string folder = "/tmp/pelimo-vanishing-" + std::to_string(getpid());
  const std::string dir = "PELIMO_TEST_AUDIO_DIR=" + folder + " ";
  const std::string script = std::string(PELIMO_SOURCE_DIR) + "/scripts/start-test-audio";
  struct StopServer {
    std::string command;
    ~StopServer() { runForOutput(command); }
  } stopServer{dir + script + " --stop; rm -rf " + folder};
  const std::string exported = runForOutput(dir + script);
  if (exported.rfind("export PULSE_SERVER=", 0) != 0) GTEST_SKIP() << "no PulseAudio server could be started";
  const std::string usual = std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "";
  setenv("PULSE_SERVER", exported.substr(exported.find('=') + 1).c_str(), 1);
  PortAudioBackend backend;
  std::atomic<int> woken{0};
  backend.setErrorWakeUp([&] { ++woken; });
  std::atomic<int> played{0};
  CompletionFn completion([&](const AudioBuffer&) { ++played; });
  std::unique_ptr<AudioStream> stream = backend.openOutput(kDefaultAudioDevice, completion);
  if (usual.empty())
    unsetenv("PULSE_SERVER");
  else
    setenv("PULSE_SERVER", usual.c_str(), 1);
  ASSERT_NE(stream, nullptr) << backend.error();
  std::vector<int16_t> data(kBufferSamples, 1000);
  AudioBuffer buffer{data.data(), kBufferBytes};
  ASSERT_TRUE(stream->prepareBuffer(buffer));
  ASSERT_TRUE(stream->queueBuffer(buffer));
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_TRUE(backend.takeErrors().empty());

  runForOutput(dir + script + " --stop");
  std::vector<std::string> reported;
  for (int i = 0; i < 50 && reported.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    reported = backend.takeErrors(std::chrono::milliseconds(1500));
  }
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("The sound output device"), std::string::npos) << reported[0];
  EXPECT_EQ(reported[0].find('\n'), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(backend.takeErrors().empty()) << "a failure is reported once";
  std::printf("reported: %s (wake-ups %d, buffers played %d)\n", reported[0].c_str(), woken.load(), played.load());
  stream->reset();
  stream->close();
}
