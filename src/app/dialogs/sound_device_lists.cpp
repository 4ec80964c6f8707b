#include "app/dialogs/sound_device_lists.h"

#include "app/device_choice.h"
#include "app/main_window.h"
#include "audio/audio_backend.h"
#include "audio/device_rings.h"

void SoundDeviceLists::fill(MainWindow& owner, Combo& input, Combo& output) {
  fillOne(owner, input, "Default input device", true);
  fillOne(owner, output, "Default output device", false);
}

void SoundDeviceLists::fillOne(MainWindow& owner, Combo& list, const char* defaultEntry, bool input) {
  const Settings& s = owner.settings;
  std::vector<std::string>& names = input ? inputNames_ : outputNames_;
  list.items = {defaultEntry};
  names.clear();
  if (AudioBackend* audio = owner.audioBackend()) {
    // The backend lists its devices in device-number order, so entry k is device k - 1.
    const std::vector<AudioDevice> devices = input ? audio->inputDevices() : audio->outputDevices();
    const std::vector<std::string> captions = deviceCaptions(devices);
    list.items.insert(list.items.end(), captions.begin(), captions.end());
    names = deviceNames(devices);
  }
  // Showing changes no setting: the stored device is only looked up.
  std::string storedName = input ? s.inputDeviceName : s.outputDeviceName;
  list.index = chooseDevice(names, input ? s.inputDevice : s.outputDevice, storedName);
  if (!list.valid()) list.index = -1;  // a device that is gone: no entry is selected
  (input ? shownInput_ : shownOutput_) = list.index;
}

void SoundDeviceLists::apply(MainWindow& owner, const Combo& input, const Combo& output) {
  const bool inputPicked = input.valid() && input.index != shownInput_;
  const bool outputPicked = output.valid() && output.index != shownOutput_;
  DeviceRings* rings = owner.deviceRings();
  const bool deviceMissing = rings && (!rings->inputOpen() || !rings->outputOpen());
  if (!inputPicked && !outputPicked && !deviceMissing) return;
  const int in = inputPicked ? input.index : shownInput_ >= 0 ? shownInput_ : owner.settings.inputDevice;
  const int out = outputPicked ? output.index : shownOutput_ >= 0 ? shownOutput_ : owner.settings.outputDevice;
  restart(owner, in, out);
  if (inputPicked) shownInput_ = input.index;
  if (outputPicked) shownOutput_ = output.index;
}

void SoundDeviceLists::restart(MainWindow& f, int input, int output) {
  DeviceRings* rings = f.deviceRings();
  const int unplayed = rings ? rings->outputBuffersQueued() : 0;
  // The "Changing Device..." notice stands while the devices are closed and opened again.
  f.deviceNotice.show(f.bounds());
  f.platform.paintNow();  // on the screen before the devices close
  f.closeDevices();
  f.settings.inputDevice = input;
  f.settings.outputDevice = output;
  // The names go with the numbers, so opening finds exactly the devices the operator picked; a
  // device that is gone keeps its stored name.
  auto nameOf = [](const std::vector<std::string>& names, int n, const std::string& stored) {
    return n == 0 ? std::string() : n >= 1 && n <= static_cast<int>(names.size()) ? names[n - 1] : stored;
  };
  f.settings.inputDeviceName = nameOf(inputNames_, input, f.settings.inputDeviceName);
  f.settings.outputDeviceName = nameOf(outputNames_, output, f.settings.outputDeviceName);
  f.openDevices();
  f.deviceNotice.close();
  // Closing the output dropped its queued buffers without a played notice. A running
  // transmission gets the transmit step each of those notices would have run, so it goes on
  // on the new device instead of waiting, keyed, for notices that never come. An idle
  // transmitter returns from the step at once.
  for (int i = 0; i < unplayed; ++i) f.transmitStep();
}
