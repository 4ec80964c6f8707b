#include "audio/wav_file.h"

#include <numbers>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/device_rings.h"
#include "audio/station_loop.h"
#include "audio/wav_backend.h"
#include "support/fake_audio_backend.h"
#include "support/function_station_handlers.h"
#include "support/signal_measures.h"

namespace {

namespace fs = std::filesystem;

class Wav : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pelimo_audio_wav_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Writes interleaved float frames with libsndfile in the given format.
  void writeFile(const std::string& file, int rate, int channels, int format, const std::vector<float>& frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_float(f, frames.data(), sf_count_t(frames.size() / channels));
    sf_close(f);
  }
  void writeBytes(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }

  fs::path dir_;
};

std::vector<int16_t> ramp(size_t n) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = int16_t(int(i * 7919 % 65536) - 32768);
  return v;
}


TEST_F(Wav, RoundTripIsBitExactAndTheFileIs48kMono16Bit) {
  std::vector<int16_t> samples = ramp(30001);
  samples[5] = 32767;
  samples[6] = -32768;
  ASSERT_EQ(writeWav48k(path("a.wav"), samples), "");
  SF_INFO info{};
  SNDFILE* f = sf_open(path("a.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  sf_close(f);
  EXPECT_EQ(info.samplerate, 48000);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(info.frames, 30001);
  WavReadResult r = readWavMono48k(path("a.wav"));
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.samples, samples);
}

TEST_F(Wav, StereoAt44100IsReadAsTheLeftChannelAt48000) {
  const int rate = 44100, seconds = 3;
  std::vector<float> frames;
  for (int i = 0; i < rate * seconds; ++i) {
    frames.push_back(float(0.5 * std::sin(2 * std::numbers::pi * 1000.0 * i / rate)));  // left
    frames.push_back(float(0.9 * std::sin(2 * std::numbers::pi * 4000.0 * i / rate)));  // right
  }
  writeFile(path("s.wav"), rate, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, frames);
  WavReadResult r = readWavMono48k(path("s.wav"));
  ASSERT_EQ(r.error, "");
  EXPECT_NEAR(double(r.samples.size()), 48000.0 * seconds, 2.0);
  EXPECT_NEAR(zeroCrossingFrequency(r.samples, 4800, r.samples.size() - 4800), 1000.0, 0.05);
  int16_t peak = 0;
  for (size_t i = 4800; i < r.samples.size() - 4800; ++i) peak = std::max<int16_t>(peak, r.samples[i]);
  EXPECT_NEAR(peak, 16384, 16384 * 0.01);  // the 0.9 right channel is not mixed in
}

TEST_F(Wav, SampleFormatsAt48kAreConverted) {
  struct Case {
    int format;
    double tolerance;  // in 16-bit steps
  };
  std::vector<float> frames;
  for (int i = 0; i < 20000; ++i) frames.push_back(float(0.4 * std::sin(2 * std::numbers::pi * 1500.0 * i / 48000)));
  for (Case c : {Case{SF_FORMAT_PCM_U8, 256}, Case{SF_FORMAT_PCM_16, 1}, Case{SF_FORMAT_PCM_24, 1},
                 Case{SF_FORMAT_PCM_32, 1}, Case{SF_FORMAT_FLOAT, 1}, Case{SF_FORMAT_DOUBLE, 1}}) {
    SCOPED_TRACE(c.format);
    writeFile(path("f.wav"), 48000, 1, SF_FORMAT_WAV | c.format, frames);
    WavReadResult r = readWavMono48k(path("f.wav"));
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.samples.size(), frames.size());
    double worst = 0;
    for (size_t i = 0; i < frames.size(); ++i) worst = std::max(worst, std::abs(r.samples[i] - frames[i] * 32768.0));
    EXPECT_LE(worst, c.tolerance);
  }
  // Float samples beyond full scale saturate.
  writeFile(path("loud.wav"), 48000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {2.0f, -3.0f, 0.25f});
  WavReadResult loud = readWavMono48k(path("loud.wav"));
  EXPECT_EQ(loud.samples, (std::vector<int16_t>{32767, -32768, 8192}));
}

TEST_F(Wav, BadFilesGiveClearErrors) {
  auto errorOf = [](const std::string& p) {
    WavReadResult r = readWavMono48k(p);
    EXPECT_TRUE(r.samples.empty());
    return r.error;
  };
  EXPECT_NE(errorOf(path("missing.wav")).find("does not exist"), std::string::npos);
  EXPECT_NE(errorOf("").find("No sound file"), std::string::npos);
  EXPECT_NE(errorOf(dir_.string()).find("is a folder"), std::string::npos);

  writeBytes(path("empty.wav"), "");
  EXPECT_NE(errorOf(path("empty.wav")).find("is empty"), std::string::npos);

  writeBytes(path("notes.txt"), "These are not sounds.\nJust a few lines of text.\n");
  std::string text = errorOf(path("notes.txt"));
  EXPECT_NE(text.find("is not a sound file"), std::string::npos) << text;
  EXPECT_NE(text.find("notes.txt"), std::string::npos);

  // A RIFF/WAVE header whose format chunk is garbage.
  std::string corrupt = std::string("RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00", 20) +
                        std::string("\xff\xff\x00\x00\x00\x00\x00\x00\xff\xff\xff\xff\x00\x00\x00\x00", 16) +
                        std::string("data\x00\x00\x00\x00", 8);
  writeBytes(path("corrupt.wav"), corrupt);
  std::string bad = errorOf(path("corrupt.wav"));
  EXPECT_FALSE(bad.empty());

  writeFile(path("slow.wav"), 100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, std::vector<float>(100, 0.1f));
  EXPECT_NE(errorOf(path("slow.wav")).find("(100 Hz) is not supported"), std::string::npos);

  ASSERT_EQ(writeWav48k(path("silent.wav"), {}), "");
  EXPECT_NE(errorOf(path("silent.wav")).find("holds no sound"), std::string::npos);

  EXPECT_NE(writeWav48k(path("no/such/folder/x.wav"), ramp(10)).find("cannot be saved"), std::string::npos);

  if (::geteuid() != 0) {  // permissions mean nothing to root
    ASSERT_EQ(writeWav48k(path("locked.wav"), ramp(10)), "");
    fs::permissions(path("locked.wav"), fs::perms::none);
    EXPECT_NE(errorOf(path("locked.wav")).find("can not be read"), std::string::npos);
  }
}

TEST_F(Wav, TruncatedAndOverlongFiles) {
  std::vector<int16_t> samples = ramp(48000);
  ASSERT_EQ(writeWav48k(path("t.wav"), samples), "");
  // Cut the data in the middle: the samples that are there are read.
  fs::resize_file(path("t.wav"), 44 + 2 * 30000 + 1);
  WavReadResult cut = readWavMono48k(path("t.wav"));
  EXPECT_EQ(cut.error, "");
  ASSERT_EQ(cut.samples.size(), 30000u);
  EXPECT_TRUE(std::equal(cut.samples.begin(), cut.samples.end(), samples.begin()));

  ASSERT_EQ(writeWav48k(path("long.wav"), ramp(48000 * 3)), "");
  WavReadResult tooLong = readWavMono48k(path("long.wav"), 2.0);
  EXPECT_TRUE(tooLong.samples.empty());
  EXPECT_NE(tooLong.error.find("too long"), std::string::npos);
  EXPECT_EQ(readWavMono48k(path("long.wav"), 3.0).samples.size(), size_t(48000 * 3));
}

TEST_F(Wav, MutatedFilesAreReadOrRefusedWithoutHarm) {
  std::vector<float> frames;
  for (int i = 0; i < 3000; ++i) frames.push_back(float(std::sin(i * 0.01)));
  writeFile(path("good.wav"), 22050, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, frames);
  std::ifstream in(path("good.wav"), std::ios::binary);
  std::string good((std::istreambuf_iterator<char>(in)), {});
  uint32_t x = 12345;
  for (int round = 0; round < 300; ++round) {
    std::string bytes = good;
    int flips = 1 + round % 8;
    for (int f = 0; f < flips; ++f) {
      x = x * 1664525u + 1013904223u;
      size_t at = (x >> 8) % 64;  // the header and the first chunk boundaries
      bytes[at] = char(x >> 24);
    }
    if (round % 3 == 0) bytes.resize((x >> 4) % bytes.size());
    writeBytes(path("m.wav"), bytes);
    WavReadResult r = readWavMono48k(path("m.wav"), 60.0);
    EXPECT_TRUE(r.error.empty() != r.samples.empty());
  }
}

TEST_F(Wav, BackendPlaysAFileIntoTheRingsAndRecordsWhatIsPlayed) {
  std::vector<int16_t> input = ramp(2 * kBufferSamples + 6000);
  ASSERT_EQ(writeWav48k(path("in.wav"), input), "");
  WavBackend backend(path("in.wav"), path("out.wav"));
  RecordedDeviceErrors errors;
  MessageQueue queue;
  DeviceRings rings(backend, errors, queue);
  std::vector<int16_t> heard;
  int played = 0;
  FunctionStationHandlers steps([&](const int16_t* s) { heard.insert(heard.end(), s, s + kBufferSamples); },
                                [&] { ++played; });
  StationLoop loop(queue, rings, steps);
  ASSERT_TRUE(rings.openOutputDevice(0));
  ASSERT_TRUE(rings.openInputDevice(0));
  EXPECT_EQ(backend.inputDevices(), (std::vector<AudioDevice>{{"Sound file in.wav", "Sound file in.wav"}}));

  std::vector<int16_t> out1(kBufferSamples, 1111), out2 = ramp(kBufferSamples);
  rings.queueOutputBuffer(out1.data());
  rings.queueOutputBuffer(out2.data());
  int ticks = 0;
  while (!backend.inputFinished() && ticks < 10) {
    backend.tick();
    loop.pump();
    ++ticks;
  }
  EXPECT_EQ(ticks, 3);  // the end is known with the last, padded buffer
  backend.advance(2);
  EXPECT_EQ(loop.pump(), 0);
  ASSERT_EQ(heard.size(), size_t(3 * kBufferSamples));
  std::vector<int16_t> expected = input;
  expected.resize(3 * kBufferSamples, 0);
  EXPECT_EQ(heard, expected);
  EXPECT_EQ(played, 2);

  rings.closeOutputDevice();
  EXPECT_EQ(backend.finishOutput(), "");
  std::vector<int16_t> both = out1;
  both.insert(both.end(), out2.begin(), out2.end());
  EXPECT_EQ(readWavMono48k(path("out.wav")).samples, both);
  EXPECT_EQ(backend.error(), "");
}

TEST_F(Wav, BackendWithAMissingFileCannotOpenTheInput) {
  WavBackend backend(path("missing.wav"), "");
  RecordedDeviceErrors errors;
  MessageQueue queue;
  DeviceRings rings(backend, errors, queue);
  EXPECT_TRUE(rings.openOutputDevice(0));  // plays into nothing
  EXPECT_FALSE(rings.openInputDevice(0));
  EXPECT_EQ(errors.texts, std::vector<std::string>{"Can not open the recoding device"});
  EXPECT_NE(backend.error().find("does not exist"), std::string::npos);
  EXPECT_FALSE(rings.openInputDevice(2));  // only one device
}

}  // namespace
