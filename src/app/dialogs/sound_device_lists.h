#pragma once
// The input and output device lists that "Settings" and the first-start page share: filled
// from the sound server's devices by description with the stored device selected, and
// applied by storing the chosen devices and restarting the sound devices when the choice
// changed or a device is not open.
#include <string>
#include <vector>

#include "app/controls.h"

class MainWindow;

class SoundDeviceLists {
 public:
  // Lists the devices as the system has them now and selects the stored ones, found by name.
  void fill(MainWindow& owner, Combo& input, Combo& output);
  // A list left at the entry it showed (or without a selection: its device is gone) keeps the
  // stored choice; the devices restart when the operator picked another one, or when one of
  // them is not open (it failed or stopped). The lists then show their choice as stored.
  void apply(MainWindow& owner, const Combo& input, const Combo& output);

 private:
  void fillOne(MainWindow& owner, Combo& list, const char* defaultEntry, bool input);
  void restart(MainWindow& owner, int input, int output);

  // The device names behind the lists' entries (entry k is names[k - 1]) and the entry each
  // list showed the stored device at.
  std::vector<std::string> inputNames_, outputNames_;
  int shownInput_ = -1, shownOutput_ = -1;
};
