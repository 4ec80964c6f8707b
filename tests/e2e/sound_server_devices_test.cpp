// Sound devices by name on a real sound server (PulseAudio, or PipeWire through its PulseAudio
// server): a null sink with a description of its own is listed by that description, the station
// finds it by its name, plays into it and records its monitor, and finds it again after the
// sink was removed and loaded again (a sound card unplugged and plugged back). Skipped without
// the server (scripts/start-test-audio starts one).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "app/device_choice.h"
#include "audio/device_rings.h"
#include "audio/portaudio_backend.h"
#include "support/fake_audio_backend.h"
#include "support/sound_library_leaks.h"
#include "support/test_audio_server.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSink = "pelimo_named";
constexpr const char* kMonitor = "pelimo_named.monitor";
constexpr const char* kDescription = "Pelimo Test Codec";

// A null sink of the test's own with a description, as a USB sound card would bring; unloaded
// again at the end.
class NamedSink {
 public:
  NamedSink() { plugIn(); }
  ~NamedSink() { unplug(); }
  bool plugIn() {
    // The quoting that both PulseAudio and PipeWire's PulseAudio server read the same way.
    module_ = runForOutput(std::string("pactl load-module module-null-sink sink_name=") + kSink +
                           R"( rate=48000 channels=1 "sink_properties=\"device.description='Pelimo Test Codec'\"")");
    return !module_.empty();
  }
  void unplug() {
    if (!module_.empty()) runForOutput("pactl unload-module " + module_);
    module_.clear();
  }
  bool present() const { return !module_.empty(); }

 private:
  std::string module_;
};

bool listed(const std::vector<AudioDevice>& devices, const std::string& name, const std::string& description) {
  for (const AudioDevice& d : devices)
    if (d.name == name && (description.empty() || d.description == description)) return true;
  return false;
}

// Plays a 1000 Hz tone on the output choice for a second while recording the input choice for
// 1.5 s, and returns the loudest sample recorded.
int loudestHeard(PortAudioBackend& backend, int outputChoice, int inputChoice) {
  MessageQueue messages;
  RecordedDeviceErrors errors;
  DeviceRings rings(backend, errors, messages);
  if (!rings.openOutputDevice(outputChoice) || !rings.openInputDevice(inputChoice)) return -1;
  std::vector<int16_t> tone(kBufferSamples);
  for (int i = 0; i < kBufferSamples; ++i) tone[i] = int16_t(std::lround(8000 * std::sin(2 * M_PI * 1000 * i / 48000.0)));
  for (int i = 0; i < 4; ++i) rings.queueOutputBuffer(tone.data());
  int loudest = 0, filled = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (filled < 6 && Clock::now() < deadline) {
    const std::optional<AudioMessage> m = messages.waitAndTake(std::chrono::milliseconds(500));
    if (!m || !rings.isCurrent(*m)) continue;
    if (m->message == kOutputBufferPlayed) {
      rings.outputBufferPlayed();
      continue;
    }
    ++filled;
    const int16_t* samples = rings.handBackInputBuffer();
    for (int i = 0; i < kBufferSamples; ++i) loudest = std::max(loudest, int(samples[i]));
  }
  return errors.texts.empty() ? loudest : -2;
}

}  // namespace

TEST(SoundServerDevices, NamedSinkIsListedByDescriptionOpenedByNameAndFoundAgainAfterReplugging) {
  if (std::string why = testAudioServerMissing(); !why.empty()) GTEST_SKIP() << why;
  NamedSink sink;
  ASSERT_TRUE(sink.present()) << "the sound server refused a second null sink";
  PortAudioBackend backend;
  ASSERT_TRUE(backend.initialised()) << backend.error();

  // Listed by description; the monitor is an input of its own.
  ASSERT_TRUE(listed(backend.outputDevices(), kSink, kDescription));
  ASSERT_TRUE(listed(backend.inputDevices(), kMonitor, ""));
  EXPECT_EQ(backend.listedFrom().rfind("sound server ", 0), 0u) << backend.listedFrom();
  std::printf("devices listed from the %s\n", backend.listedFrom().c_str());

  // The settings name the devices; their stored numbers are stale. The station finds them by
  // name and what it plays into the sink comes back from the sink's monitor, while the default
  // null sink (the system default) stays silent.
  std::string outputName = kSink, inputName = kMonitor;
  const int output = chooseDevice(deviceNames(backend.outputDevices()), 9, outputName);
  const int input = chooseDevice(deviceNames(backend.inputDevices()), 9, inputName);
  ASSERT_NE(output, 9);
  ASSERT_NE(input, 9);
  EXPECT_NEAR(loudestHeard(backend, output, input), 8000, 400);
  EXPECT_LT(loudestHeard(backend, output, 0), 100) << "the tone reached the default device";

  // Unplugged: gone from the list; the choice keeps its name and opening it fails with a reason.
  sink.unplug();
  EXPECT_FALSE(listed(backend.outputDevices(), kSink, ""));
  EXPECT_EQ(chooseDevice(deviceNames(backend.outputDevices()), output, outputName), output);
  EXPECT_EQ(outputName, kSink);
  EXPECT_EQ(loudestHeard(backend, output, input), -1);

  // Plugged back: found again by its name and heard again.
  ASSERT_TRUE(sink.plugIn());
  const int again = chooseDevice(deviceNames(backend.outputDevices()), output, outputName);
  const int againIn = chooseDevice(deviceNames(backend.inputDevices()), input, inputName);
  EXPECT_NEAR(loudestHeard(backend, again, againIn), 8000, 400);
}
