// The transmit side of automatic operation on a whole station with a recording sound card and
// a serial push-to-talk port: the callsign in Morse after the frames (read back by a small
// Morse reader, the frames before it unchanged, the radio keyed through it) and the transmit
// time limit (the transmission stopped as "Stop" stops it, the radio released).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/main_window.h"
#include "audio/device_rings.h"
#include "audio/wav_backend.h"
#include "support/fake_platform.h"
#include "support/fake_serial_lines.h"
#include "support/textured_picture.h"
#include "tx/cw_identification.h"

namespace {

struct KeyedStation {
  explicit KeyedStation(bool cwId) {
    backend.keepRecordingInMemory();
    station = std::make_unique<MainWindow>(platform, StationDevices{&backend, &serial});
    station->settings.callsign = "DL2XYZ/P";
    station->settings.portPath = "/dev/ttyUSB0";
    station->settings.cwId = cwId;
    station->openDevices();
  }
  const std::vector<int16_t>& recording() const { return backend.recording(); }
  // Runs until the transmission has ended and its buffers have played; notes how much had
  // been played when the lines dropped.
  void run() {
    for (int n = 0; n < 20000 && (station->state.txInProgress || station->deviceRings()->outputBuffersQueued() > 0);
         ++n) {
      backend.tick();
      station->pumpMessages();
      if (serial.linesAsserted) keyed = true;
      if (keyed && !serial.linesAsserted && releasedAt == 0) releasedAt = recording().size();
    }
  }
  FakePlatform platform;
  FakeSerialLines serial;
  WavBackend backend{"", ""};
  std::unique_ptr<MainWindow> station;
  bool keyed = false;
  size_t releasedAt = 0;
};

int peakOf(const std::vector<int16_t>& x, size_t from, size_t to) {
  int peak = 0;
  for (size_t i = from; i < to && i < x.size(); ++i) peak = std::max(peak, std::abs(int(x[i])));
  return peak;
}

// Reads Morse code from 1 ms envelope steps: the shortest mark is a dot, a mark of two dots or
// more a dash, a space of two dots or more ends a letter. Returns the text and the index just
// after the last mark.
std::string readMorse(const std::vector<int16_t>& x, size_t from, size_t& lastMark) {
  const int threshold = peakOf(x, from, x.size()) / 2;
  std::vector<std::pair<bool, int>> runs;  // (mark, length in ms)
  for (size_t i = from; i + 48 <= x.size(); i += 48) {
    const bool mark = peakOf(x, i, i + 48) > threshold;
    if (mark) lastMark = i + 48;
    if (!runs.empty() && runs.back().first == mark)
      ++runs.back().second;
    else
      runs.push_back({mark, 1});
  }
  int dot = 1 << 30;
  for (const auto& [mark, length] : runs)
    if (mark) dot = std::min(dot, length);
  std::string text, code;
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/";
  auto endLetter = [&] {
    for (char c : alphabet)
      if (!code.empty() && code == morseCode(c)) text += c;
    code.clear();
  };
  for (const auto& [mark, length] : runs) {
    if (mark)
      code += length >= 2 * dot ? '-' : '.';
    else if (length >= 2 * dot)
      endLetter();
  }
  endLetter();
  return text;
}

TEST(TransmitAutomation, TheCallsignFollowsTheUnchangedFramesInMorseWhileTheRadioIsKeyed) {
  KeyedStation plain(false), identified(true);
  for (KeyedStation* s : {&plain, &identified}) {
    s->station->textEdit.text = "pse k";
    s->station->sendTextClicked();
    ASSERT_TRUE(s->station->state.txInProgress);
    s->run();
    EXPECT_FALSE(s->serial.linesAsserted);
    EXPECT_FALSE(s->station->state.txInProgress);
  }
  const std::vector<int16_t>& frames = plain.recording();
  const std::vector<int16_t>& withId = identified.recording();
  ASSERT_GT(withId.size(), frames.size());
  EXPECT_TRUE(std::equal(frames.begin(), frames.end(), withId.begin()));

  size_t lastMark = 0;
  EXPECT_EQ(readMorse(withId, frames.size(), lastMark), "DL2XYZ/P");
  // The push-to-talk line dropped only after the last mark had been played.
  EXPECT_GE(identified.releasedAt, lastMark);
  // At 20 wpm: 20 dots and more for eight characters, well under ten seconds.
  EXPECT_LT(double(withId.size() - frames.size()) / 48000, 10.0);

  // The frames' level, and edges without clicks: a millisecond into a mark the tone is still
  // small.
  const int framePeak = peakOf(frames, 0, frames.size());
  const int idPeak = peakOf(withId, frames.size(), withId.size());
  EXPECT_NEAR(double(idPeak) / framePeak, 1.0, 0.05);
  size_t firstMark = frames.size();
  while (firstMark < withId.size() && withId[firstMark] == 0) ++firstMark;
  EXPECT_LT(peakOf(withId, firstMark, firstMark + 48), idPeak / 6);
}

TEST(TransmitAutomation, ATransmissionPastTheTimeLimitIsStoppedAndTheRadioReleased) {
  KeyedStation s(false);
  MainWindow& station = *s.station;
  station.settings.txTimeLimit = 1;
  station.scaleCombo.index = 0;  // 0.07 with Convolution: about ten minutes
  station.codeCombo.index = 1;
  station.state.imageFromClipboard = true;
  station.clipboardPicture = texturedPicture();
  station.sendImageButton.down = true;
  station.sendImageClicked();
  ASSERT_TRUE(s.serial.linesAsserted);
  s.run();
  const double seconds = double(s.recording().size()) / 48000;
  EXPECT_GT(seconds, 60.0);
  EXPECT_LT(seconds, 66.0);  // the abort frames, the silent tail
  EXPECT_FALSE(s.serial.linesAsserted);
  EXPECT_FALSE(s.serial.isOpen);
  EXPECT_FALSE(station.sendImageButton.down);
  const auto& lines = station.messageLog.lines;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Transmit time limit of 1 min reached: the transmission is stopped"),
            lines.end());
}

}  // namespace
