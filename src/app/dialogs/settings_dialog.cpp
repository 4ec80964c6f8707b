#include "app/dialogs/settings_dialog.h"

#include <algorithm>
#include <vector>

#include "app/callsign_check.h"
#include "app/main_window.h"
#include "app/settings_ranges.h"

namespace {

// The face colour of the dialog, behind its plain labels.
constexpr Colour kDialogFace{240, 240, 240};

// A counter takes its limits from the setting's range; a setting outside it is shown, and
// stored on "OK", as the nearest end.
void setRange(UpDown& counter, const SettingRange& range) {
  counter.min = range.min;
  counter.max = range.max;
  counter.setPosition(counter.position);
}

void showCounter(UpDown& counter, Label& value, int setting) {
  counter.setPosition(setting);
  value.caption = std::to_string(counter.position);
}

// Checks exactly the button of `buttons` at `chosen`.
void checkOne(const std::vector<RadioButton*>& buttons, size_t chosen) {
  for (size_t i = 0; i < buttons.size(); ++i) buttons[i]->checked = i == chosen;
}

// The position of the checked button in `buttons`, or `fallback` when none is checked.
int checkedIndex(const std::vector<RadioButton*>& buttons, int fallback) {
  for (size_t i = 0; i < buttons.size(); ++i)
    if (buttons[i]->checked) return static_cast<int>(i);
  return fallback;
}

// The waterfall colour buttons in their screen order and the ColorType each one stands for:
// "FullColor" (3) comes before "Gold" (2).
constexpr int kColourTypeOfButton[4] = {0, 1, 3, 2};

}  // namespace

SettingsDialog::SettingsDialog(const SerialPortLister& ports) : ports_(ports) {
  setRange(timeoutCounter, settingRange(&Settings::timeoutSeconds));
  setRange(endFramesCounter, settingRange(&Settings::endFrameRepeat));
  setRange(saveMinimumCounter, settingRange(&Settings::saveMinimumBlocks));
  setRange(deleteDaysCounter, settingRange(&Settings::deleteAfterDays));
  setRange(callsignRepeatCounter, settingRange(&Settings::callsignRepeat));
  errorFreeLabel = Label{"Error free", colours::black, kDialogFace};
  daysLabel = Label{"days", colours::black, kDialogFace};
}

bool SettingsDialog::runModal(MainWindow& owner) {
  owner_ = &owner;
  modalResult = ModalResult::none;
  shown();
  owner.platform.showModal(*this);
  // A window closed without "OK" (the close box, a platform without dialogs) is a cancel.
  if (modalResult == ModalResult::none) modalResult = ModalResult::cancel;
  return modalResult == ModalResult::ok;
}

void SettingsDialog::fillPortList() {
  const MainWindow& f = *owner_;
  serialPortCombo.items = ports_.serialPorts();
  missingPortIndex_ = -1;
  // Port numbering follows the order the adapters were plugged in, so the stored port name is
  // looked up; the list index only serves settings that have no port name yet. A stored port
  // that is not there (an adapter unplugged) is listed as missing and stays chosen, so "OK"
  // keeps it. Showing changes no setting: "OK" stores the port shown.
  if (!f.settings.portPath.empty()) {
    auto& items = serialPortCombo.items;
    const auto named = std::find(items.begin(), items.end(), f.settings.portPath);
    serialPortCombo.index = static_cast<int>(named - items.begin());
    if (named == items.end()) {
      missingPortIndex_ = serialPortCombo.index;
      items.push_back(f.settings.portPath + kMissingPortMark);
    }
    return;
  }
  serialPortCombo.index = f.settings.portNumber;
  if (!serialPortCombo.valid()) serialPortCombo.index = -1;
}

void SettingsDialog::shown() {
  if (!owner_) return;
  const MainWindow& f = *owner_;
  deviceLists_.fill(*owner_, inputDeviceCombo, outputDeviceCombo);
  fillPortList();

  callsignEdit.text = f.settings.callsign;
  autoSaveCheck.checked = f.settings.autoSave;
  showCounter(timeoutCounter, timeoutValue, f.settings.timeoutSeconds);
  showCounter(endFramesCounter, endFramesValue, f.settings.endFrameRepeat);
  showCounter(saveMinimumCounter, saveMinimumValue, f.settings.saveMinimumBlocks);
  showCounter(deleteDaysCounter, deleteDaysValue, f.settings.deleteAfterDays);
  showCounter(callsignRepeatCounter, callsignRepeatValue, f.settings.callsignRepeat);
  errorFreeOnlyCheck.checked = f.settings.errorFreeOnly;
  checkOne({&horizontalScanRadio, &verticalScanRadio, &randomScanRadio},
           f.settings.scanDirection == 0   ? 0
           : f.settings.scanDirection == 1 ? 1
                                           : 2);
  checkOne({&monochromeRadio, &blueRadio, &fullColourRadio, &goldRadio},
           f.settings.waterfallColours == 0   ? 0
           : f.settings.waterfallColours == 1 ? 1
           : f.settings.waterfallColours == 2 ? 3
                                              : 2);
  imageEditorEdit.text = f.settings.imageEditorName;
  overwriteBsrCheck.checked = f.settings.overwriteBsrBlocks;
  saveMinimumCheck.checked = f.settings.saveMinimum;
  updateSaveControls();
  deleteOnBsrCheck.checked = f.settings.deleteOnBsrOverwrite;
  deleteOldCheck.checked = f.settings.autoDelete;
  updateDeleteControls();
  logModeEdit.text = f.settings.logMode;
  logReportEdit.text = f.settings.logReport;
  logBandEdit.text = f.settings.logBand;
  showClockCheck.checked = f.settings.showClock;
  rigPanel.fill(f.settings);
  networkPanel.fill(f.settings);
  autoPanel.fill(f.settings);
}

void SettingsDialog::okClicked() {
  if (!owner_) return;
  MainWindow& f = *owner_;
  std::string problem = callsignProblem(callsignEdit.text);
  if (problem.empty()) problem = networkPanel.problem();
  if (!problem.empty()) {
    f.platform.messageBox(problem, true);
    return;  // the dialog stays open with what was typed
  }

  // Disabled controls are stored like the others.
  f.settings.callsign = callsignInCapitals(callsignEdit.text);
  f.settings.autoSave = autoSaveCheck.checked;
  f.settings.timeoutSeconds = timeoutCounter.position;
  f.settings.errorFreeOnly = errorFreeOnlyCheck.checked;
  f.settings.scanDirection =
      checkedIndex({&horizontalScanRadio, &verticalScanRadio, &randomScanRadio}, 2);
  f.settings.waterfallColours = kColourTypeOfButton[checkedIndex(
      {&monochromeRadio, &blueRadio, &fullColourRadio, &goldRadio}, 2)];
  f.settings.imageEditorName = imageEditorEdit.text;
  f.settings.endFrameRepeat = endFramesCounter.position;
  f.settings.overwriteBsrBlocks = overwriteBsrCheck.checked;
  f.settings.saveMinimum = saveMinimumCheck.checked;
  f.settings.saveMinimumBlocks = saveMinimumCounter.position;
  f.settings.deleteOnBsrOverwrite = deleteOnBsrCheck.checked;
  f.settings.autoDelete = deleteOldCheck.checked;
  f.settings.deleteAfterDays = deleteDaysCounter.position;
  f.settings.callsignRepeat = callsignRepeatCounter.position;
  f.settings.logMode = logModeEdit.text;
  f.settings.logReport = logReportEdit.text;
  f.settings.logBand = logBandEdit.text;
  f.settings.showClock = showClockCheck.checked;
  rigPanel.store(f.settings);
  networkPanel.store(f.settings);
  autoPanel.store(f.settings);
  f.applyRigSettings();
  f.applyNetworkSettings();
  f.refreshCaption();

  deviceLists_.apply(f, inputDeviceCombo, outputDeviceCombo);

  // The port shown is stored; a list without a selection means no port, and the port listed as
  // missing stays as it was.
  if (serialPortCombo.index != missingPortIndex_) {
    if (serialPortCombo.valid()) f.settings.portNumber = serialPortCombo.index;
    f.settings.portPath = serialPortCombo.valid() ? serialPortCombo.items[serialPortCombo.index] : std::string();
  }
  modalResult = ModalResult::ok;
}

void SettingsDialog::volumeControlClicked() {
  if (owner_) owner_->platform.startMixer();
}

void SettingsDialog::cancelClicked() {
  if (owner_) rigPanel.cancelled(*owner_);
  modalResult = ModalResult::cancel;
}

void SettingsDialog::rigTestClicked() {
  if (owner_) rigPanel.testClicked(*owner_);
}

void SettingsDialog::rigTimerTick() {
  if (owner_) rigPanel.timerTick(*owner_);
}

void SettingsDialog::timeoutStepped() {
  showCounter(timeoutCounter, timeoutValue, timeoutCounter.position);
}
void SettingsDialog::endFramesStepped() {
  showCounter(endFramesCounter, endFramesValue, endFramesCounter.position);
}
void SettingsDialog::saveMinimumStepped() {
  showCounter(saveMinimumCounter, saveMinimumValue, saveMinimumCounter.position);
}
void SettingsDialog::deleteDaysStepped() {
  showCounter(deleteDaysCounter, deleteDaysValue, deleteDaysCounter.position);
}
void SettingsDialog::callsignRepeatStepped() {
  showCounter(callsignRepeatCounter, callsignRepeatValue, callsignRepeatCounter.position);
}

void SettingsDialog::autoSaveToggled() { updateSaveControls(); }
void SettingsDialog::saveMinimumToggled() { updateSaveControls(); }
void SettingsDialog::deleteOldToggled() { updateDeleteControls(); }

void SettingsDialog::updateSaveControls() {
  // The minimum-blocks switch and the deletion of BSR-updated files only matter for automatic
  // saving; the minimum itself only when its switch is on as well.
  saveMinimumCheck.enabled = autoSaveCheck.checked;
  deleteOnBsrCheck.enabled = autoSaveCheck.checked;
  const bool minimum = autoSaveCheck.checked && saveMinimumCheck.checked;
  saveMinimumValue.enabled = minimum;
  errorFreeLabel.enabled = minimum;
  saveMinimumCounter.enabled = minimum;
}

void SettingsDialog::updateDeleteControls() {
  deleteDaysValue.enabled = deleteOldCheck.checked;
  daysLabel.enabled = deleteOldCheck.checked;
  deleteDaysCounter.enabled = deleteOldCheck.checked;
}
