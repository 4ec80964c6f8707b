// What goes on the air must never change by accident: another station decodes it bit for bit.
// Each case runs a whole transmission through the station's own send command and compares a
// fingerprint of every output sample with the one recorded when the signal chain was verified.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/main_window.h"
#include "imaging/picture_file.h"
#include "support/fake_platform.h"

namespace {

struct Fingerprint {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a, 64 bits, over the samples' bytes
  int64_t samples = 0;
  void add(const int16_t* s, int count) {
    for (int i = 0; i < count; ++i) {
      const uint16_t v = static_cast<uint16_t>(s[i]);
      for (uint8_t byte : {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)}) {
        hash ^= byte;
        hash *= 1099511628211ull;
      }
    }
    samples += count;
  }
};

struct Case {
  const char* name;
  bool fourLevel;
  bool coded;
  bool image;  // else a text
  int scanDirection;
  uint64_t hash;
  int64_t samples;
};

Fingerprint transmit(const Case& c) {
  FakePlatform platform;
  MainWindow station(platform);
  station.settings.callsign = "QA1BC";
  station.modeCombo.index = c.fourLevel ? 1 : 0;
  station.modeChanged();
  station.codeCombo.index = c.coded ? 1 : 0;
  station.codeChanged();
  station.scaleCombo.index = 10;
  station.scaleChanged();
  station.settings.scanDirection = c.scanDirection;
  Fingerprint fp;
  station.outputTap = [&](const int16_t* s, int n) { fp.add(s, n); };
  if (c.image) {
    EXPECT_TRUE(station.loadTransmitImage(std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg"));
    station.sendImageButton.down = true;
    station.sendImageClicked();
  } else {
    station.textEdit.text = "hello there";
    station.sendTextClicked();
  }
  EXPECT_TRUE(station.state.txInProgress);
  for (int n = 0; n < 20000 && station.state.txInProgress; ++n) station.transmitStep();
  return fp;
}

TEST(TransmissionFingerprint, EveryModeSendsExactlyWhatItAlwaysSent) {
  const Case cases[] = {
      {"msk plain image", false, false, true, 0, 0xc68fe522f90b26fcull, 7248000},
      {"msk coded image", false, true, true, 1, 0x8bceeaf50e659dcdull, 12060000},
      {"4l-fsk plain image", true, false, true, 1, 0x8584b9fef4f76effull, 4860000},
      {"4l-fsk coded image", true, true, true, 0, 0x16a3ae75c5cbe2bcull, 7248000},
      {"msk plain text", false, false, false, 0, 0xde359d2c686101a0ull, 156000},
      {"msk coded text", false, true, false, 0, 0x7aebaca51bf070bcull, 156000},
      {"4l-fsk plain text", true, false, false, 0, 0x3b6cf00344761491ull, 156000},
      {"4l-fsk coded text", true, true, false, 0, 0x17861e4a224b2e94ull, 156000},
  };
  for (const Case& c : cases) {
    const Fingerprint fp = transmit(c);
    EXPECT_EQ(fp.samples, c.samples) << c.name;
    EXPECT_EQ(fp.hash, c.hash) << c.name << ": 0x" << std::hex << fp.hash;
  }
}

}  // namespace
