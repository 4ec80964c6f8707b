#pragma once
// The settings dialog's rig section: how the transmitter is keyed, the rig chosen from
// Hamlib's list by maker and name, its port and speed, the PTT line, and "Test", which
// connects the rig as the controls stand and keys it for one second.
#include <chrono>
#include <string>

#include "app/controls.h"
#include "app/settings.h"

class MainWindow;

class RigPanel {
 public:
  RigPanel();

  Combo pttMethodCombo;  // "Serial port DTR/RTS", "Through the rig (Hamlib)", "None (VOX)"
  Combo rigMakerCombo;   // "None" (no rig control), then Hamlib's makers
  Combo rigModelCombo;   // the models of the chosen maker
  Edit rigPortEdit;      // /dev/ttyUSB0, /dev/serial/by-id/..., or host:port of a rigctld
  Combo rigSpeedCombo;   // "Rig default", then the usual serial speeds
  Combo pttTypeCombo;    // "CAT command", "DTR of the rig port", "RTS of the rig port", "CM108 GPIO"
  Edit pttDeviceEdit;    // the PTT line's own device, when not the rig port (/dev/hidraw0)
  Button testButton{"Test"};
  Label statusLabel{"", colours::black, Colour{240, 240, 240}};

  // Fills the controls from the settings, and stores them back.
  void fill(const Settings& s);
  void store(Settings& s) const;

  // --- handlers ---
  void makerChanged();   // the model list follows the maker
  void methodChanged();  // the PTT line's controls only matter when keying through the rig
  // "Test": connects the rig of the controls; once it answers, keys it for one second.
  void testClicked(MainWindow& station);
  // The window layer's timer, a few times a second: the test goes on and the status follows.
  void timerTick(MainWindow& station);
  // The dialog closed without "OK": the station goes back to the rig of its settings.
  void cancelled(MainWindow& station);

 private:
  int chosenModel() const;
  void selectModel(int model);

  enum class Test { idle, connecting, keyed };
  Test test_ = Test::idle;
  std::chrono::steady_clock::time_point testStarted_;
  bool tried_ = false;  // "Test" changed the station's rig connection
};
