#pragma once
// Two complete stations on simulated air: station A transmits, station B listens through a
// channel model; everything runs in simulated time, one buffer period per tick.
#include <memory>

#include "app/main_window.h"
#include "audio/simulated_air.h"
#include "support/fake_platform.h"
#include "support/recording_receive_host.h"
#include "support/textured_picture.h"

struct StationLink {
  explicit StationLink(const ChannelModel& toB = {}, uint64_t seed = 1) : air(seed) {
    air.addStation();
    air.addStation(toB);
    a = std::make_unique<MainWindow>(platformA, StationDevices{&air.backend(0)});
    b = std::make_unique<MainWindow>(platformB, StationDevices{&air.backend(1)});
    a->settings.callsign = "JA1ABC";
    b->settings.callsign = "DL2XYZ";
    a->openDevices();
    b->openDevices();
    b->frameListener = &heardByB;
  }

  void tick() {
    air.tick();
    a->pumpMessages();
    b->pumpMessages();
  }

  // A presses "Send Image" with the textured test picture on its clipboard at this Scale index.
  void sendClipboardPicture(int scaleIndex) {
    a->scaleCombo.index = scaleIndex;
    a->state.imageFromClipboard = true;
    a->clipboardPicture = texturedPicture();
    a->sendImageButton.down = true;
    a->sendImageClicked();
  }

  // Runs until A's transmission has ended and its last buffers (and B's receive delay) are
  // through; returns the number of buffer periods. Stops after `limit` periods in any case.
  int runTransmission(int limit = 20000) {
    int n = 0;
    while (a->state.txInProgress && n < limit) {
      tick();
      ++n;
    }
    for (int i = 0; i < 8; ++i) tick();
    return n;
  }

  SimulatedAir air;
  FakePlatform platformA, platformB;
  std::unique_ptr<MainWindow> a, b;
  RecordingReceiveHost heardByB;
};
