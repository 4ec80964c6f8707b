#include "app/dialogs/first_start_page.h"

#include <algorithm>

#include "app/callsign_check.h"
#include "app/main_window.h"
#include "app/rig_settings.h"
#include "displays/level_meter.h"

bool firstStartWanted(const std::string& callsign, bool homeWithSettingsFile) {
  return callsign.empty() && !homeWithSettingsFile;
}

bool offerFirstStart(MainWindow& station, bool homeWithSettingsFile) {
  if (!firstStartWanted(station.settings.callsign, homeWithSettingsFile)) return false;
  station.firstStartPage.runModal(station);
  return true;
}

FirstStartPage::FirstStartPage(const SerialPortLister& ports) : ports_(ports) {}

bool FirstStartPage::runModal(MainWindow& owner) {
  owner_ = &owner;
  modalResult = ModalResult::none;
  shown();
  visible = true;
  owner.platform.showModal(*this);
  visible = false;
  // A page closed without "OK" (the close box, a platform without dialogs) is a cancel.
  if (modalResult == ModalResult::none) cancelClicked();
  return modalResult == ModalResult::ok;
}

void FirstStartPage::shown() {
  if (!owner_) return;
  MainWindow& f = *owner_;
  openedInput_ = f.settings.inputDevice;
  openedOutput_ = f.settings.outputDevice;
  openedInputName_ = f.settings.inputDeviceName;
  openedOutputName_ = f.settings.outputDeviceName;
  deviceLists_.fill(f, inputDeviceCombo, outputDeviceCombo);
  callsignEdit.text = f.settings.callsign;
  rigPanel.fill(f.settings);
  // A port that is not there cannot key the radio: without serial ports the transmitter keys
  // itself (VOX) until the operator chooses otherwise.
  if (rigPanel.pttMethodCombo.index == kSerialPtt && ports_.serialPorts().empty()) {
    rigPanel.pttMethodCombo.index = kNoPtt;
    rigPanel.methodChanged();
  }
  drawLevelMeter(inputMeterPicture, 0.0);
  inputMeter.show(inputMeterPicture);
  callsignEdited();
}

void FirstStartPage::callsignEdited() {
  callsignEdit.text = callsignInCapitals(callsignEdit.text);
  const std::string problem = callsignProblem(callsignEdit.text);
  callsignHint.caption = !problem.empty()           ? problem
                         : callsignEdit.text.empty() ? "Enter your callsign."
                                                     : "";
  okButton.enabled = !callsignEdit.text.empty() && problem.empty();
}

void FirstStartPage::inputDeviceChanged() {
  if (owner_) deviceLists_.apply(*owner_, inputDeviceCombo, outputDeviceCombo);
}

void FirstStartPage::outputDeviceChanged() { inputDeviceChanged(); }

void FirstStartPage::pttMethodChanged() { rigPanel.methodChanged(); }

void FirstStartPage::okClicked() {
  callsignEdited();
  if (!owner_ || !okButton.enabled) return;
  MainWindow& f = *owner_;
  f.settings.callsign = callsignEdit.text;
  deviceLists_.apply(f, inputDeviceCombo, outputDeviceCombo);
  rigPanel.store(f.settings);
  // Keying through the serial port needs a port: a stored one that is gone gives way to the
  // first port found.
  const std::vector<std::string> ports = ports_.serialPorts();
  if (f.settings.pttMethod == kSerialPtt && !ports.empty() &&
      std::find(ports.begin(), ports.end(), f.settings.portPath) == ports.end()) {
    f.settings.portPath = ports.front();
    f.settings.portNumber = 0;
  }
  f.applyRigSettings();
  f.refreshCaption();
  modalResult = ModalResult::ok;
}

void FirstStartPage::cancelClicked() {
  if (owner_) {
    MainWindow& f = *owner_;
    rigPanel.cancelled(f);
    // Devices tried on the page give way to those the station started with.
    if (f.settings.inputDevice != openedInput_ || f.settings.outputDevice != openedOutput_) {
      f.closeDevices();
      f.settings.inputDevice = openedInput_;
      f.settings.outputDevice = openedOutput_;
      f.settings.inputDeviceName = openedInputName_;
      f.settings.outputDeviceName = openedOutputName_;
      f.openDevices();
    }
  }
  modalResult = ModalResult::cancel;
}

void FirstStartPage::updateInputMeter(double peak) {
  drawLevelMeter(inputMeterPicture, peak);
  inputMeter.show(inputMeterPicture);
}
