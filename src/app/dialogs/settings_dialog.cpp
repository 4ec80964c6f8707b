#include "app/dialogs/settings_dialog.h"

#include <algorithm>
#include <vector>

#include "app/callsign_check.h"
#include "app/main_window.h"
#include "app/settings_ranges.h"
#include "audio/audio_backend.h"
#include "audio/device_rings.h"

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

TForm9::TForm9(const SerialPortLister& ports) : ports_(ports) {
  setRange(UpDown1, settingRange(&Settings::TimeOut));
  setRange(UpDown2, settingRange(&Settings::NumEtxData));
  setRange(UpDown3, settingRange(&Settings::SaveMinPass));
  setRange(UpDown4, settingRange(&Settings::DeleteDay));
  setRange(UpDown5, settingRange(&Settings::NumCallSend));
  Label13 = Label{"Error free", colours::black, kDialogFace};
  Label15 = Label{"days", colours::black, kDialogFace};
}

bool TForm9::ShowModal(TForm1& owner) {
  owner_ = &owner;
  modalResult = ModalResult::none;
  FormShow();
  owner.platform.showModal(*this);
  // A window closed without "OK" (the close box, a platform without dialogs) is a cancel.
  if (modalResult == ModalResult::none) modalResult = ModalResult::cancel;
  return modalResult == ModalResult::ok;
}

void TForm9::fillDeviceList(Combo& list, const char* defaultEntry, int choice, bool input) {
  list.items = {defaultEntry};
  if (AudioBackend* audio = owner_->audioBackend()) {
    // The backend names its devices in device-number order, so entry k is device k - 1.
    const std::vector<std::string> names =
        input ? audio->inputDeviceNames() : audio->outputDeviceNames();
    list.items.insert(list.items.end(), names.begin(), names.end());
  }
  list.index = choice;
  if (!list.valid()) list.index = -1;  // a device that is gone: no entry is selected
}

void TForm9::fillPortList() {
  TForm1& f = *owner_;
  ComboBox3.items = ports_.serialPorts();
  // Port numbering follows the order the adapters were plugged in, so the stored port name is
  // looked up first; the stored list index is used when that name is not listed.
  const auto named = std::find(ComboBox3.items.begin(), ComboBox3.items.end(), f.PortStr);
  if (!f.PortStr.empty() && named != ComboBox3.items.end()) {
    ComboBox3.index = static_cast<int>(named - ComboBox3.items.begin());
    return;
  }
  ComboBox3.index = f.PortNum;
  if (!ComboBox3.valid()) ComboBox3.index = -1;
  f.PortStr = ComboBox3.valid() ? ComboBox3.items[ComboBox3.index] : std::string();
}

void TForm9::FormShow() {
  if (!owner_) return;
  const TForm1& f = *owner_;
  fillDeviceList(ComboBox1, "Default input device", f.Input, true);
  fillDeviceList(ComboBox2, "Default output device", f.Output, false);
  fillPortList();

  Edit1.text = f.Callsign;
  CheckBox1.checked = f.AutoSave;
  showCounter(UpDown1, Label6, f.TimeOut);
  showCounter(UpDown2, Label10, f.NumEtxData);
  showCounter(UpDown3, Label12, f.SaveMinPass);
  showCounter(UpDown4, Label14, f.DeleteDay);
  showCounter(UpDown5, Label17, f.NumCallSend);
  CheckBox2.checked = f.NoErrDecode;
  checkOne({&RadioButton1, &RadioButton2, &RadioButton3},
           f.ScanDir == 0 ? 0 : f.ScanDir == 1 ? 1 : 2);
  checkOne({&RadioButton4, &RadioButton5, &RadioButton6, &RadioButton7},
           f.ColorType == 0 ? 0 : f.ColorType == 1 ? 1 : f.ColorType == 2 ? 3 : 2);
  Edit2.text = f.ImgEditName;
  CheckBox3.checked = f.OverWrite;
  CheckBox4.checked = f.SaveMin;
  updateSaveControls();
  CheckBox5.checked = f.DelImgBSR;
  CheckBox6.checked = f.AutoDelete;
  updateDeleteControls();
  Edit3.text = f.LogMode;
  Edit4.text = f.LogSN;
  Edit5.text = f.LogBand;
  CheckBox7.checked = f.ShowClock;
  rigPanel.fill(f);
}

void TForm9::Button1Click() {
  if (!owner_) return;
  TForm1& f = *owner_;
  const std::string problem = callsignProblem(Edit1.text);
  if (!problem.empty()) {
    f.platform.messageBox(problem, true);
    return;  // the dialog stays open with what was typed
  }

  // Disabled controls are stored like the others.
  f.Callsign = Edit1.text;
  f.AutoSave = CheckBox1.checked;
  f.TimeOut = UpDown1.position;
  f.NoErrDecode = CheckBox2.checked;
  f.ScanDir = checkedIndex({&RadioButton1, &RadioButton2, &RadioButton3}, 2);
  f.ColorType = kColourTypeOfButton[checkedIndex(
      {&RadioButton4, &RadioButton5, &RadioButton6, &RadioButton7}, 2)];
  f.ImgEditName = Edit2.text;
  f.NumEtxData = UpDown2.position;
  f.OverWrite = CheckBox3.checked;
  f.SaveMin = CheckBox4.checked;
  f.SaveMinPass = UpDown3.position;
  f.DelImgBSR = CheckBox5.checked;
  f.AutoDelete = CheckBox6.checked;
  f.DeleteDay = UpDown4.position;
  f.NumCallSend = UpDown5.position;
  f.LogMode = Edit3.text;
  f.LogSN = Edit4.text;
  f.LogBand = Edit5.text;
  f.ShowClock = CheckBox7.checked;
  rigPanel.store(f);
  f.applyRigSettings();

  // A list without a selection (its device is gone) keeps the stored choice.
  const int input = ComboBox1.valid() ? ComboBox1.index : f.Input;
  const int output = ComboBox2.valid() ? ComboBox2.index : f.Output;
  if (input != f.Input || output != f.Output) restartDevices(input, output);

  if (ComboBox3.valid() && ComboBox3.index != f.PortNum) {
    f.PortNum = ComboBox3.index;
    f.PortStr = ComboBox3.items[ComboBox3.index];
  }
  modalResult = ModalResult::ok;
}

void TForm9::restartDevices(int input, int output) {
  TForm1& f = *owner_;
  DeviceRings* rings = f.deviceRings();
  const int unplayed = rings ? rings->outputBuffersQueued() : 0;
  // The "Changing Device..." notice stands while the devices are closed and opened again.
  f.Form10.show(f.bounds());
  f.closeDevices();
  f.Input = input;
  f.Output = output;
  // The names go with the numbers, so opening finds exactly the devices the operator picked.
  auto nameOf = [](const Combo& list, int n) {
    return n >= 1 && n < static_cast<int>(list.items.size()) ? list.items[n] : std::string();
  };
  f.InputName = nameOf(ComboBox1, input);
  f.OutputName = nameOf(ComboBox2, output);
  f.openDevices();
  f.Form10.close();
  // Closing the output dropped its queued buffers without a played notice. A running
  // transmission gets the transmit step each of those notices would have run, so it goes on
  // on the new device instead of waiting, keyed, for notices that never come. An idle
  // transmitter returns from the step at once.
  for (int i = 0; i < unplayed; ++i) f.transmitStep();
}

void TForm9::Button2Click() {
  if (owner_) owner_->platform.startMixer();
}

void TForm9::Button3Click() {
  if (owner_) rigPanel.cancelled(*owner_);
  modalResult = ModalResult::cancel;
}

void TForm9::rigTestClicked() {
  if (owner_) rigPanel.testClicked(*owner_);
}

void TForm9::rigTimerTick() {
  if (owner_) rigPanel.timerTick(*owner_);
}

void TForm9::UpDown1Click() { showCounter(UpDown1, Label6, UpDown1.position); }
void TForm9::UpDown2Click() { showCounter(UpDown2, Label10, UpDown2.position); }
void TForm9::UpDown3Click() { showCounter(UpDown3, Label12, UpDown3.position); }
void TForm9::UpDown4Click() { showCounter(UpDown4, Label14, UpDown4.position); }
void TForm9::UpDown5Click() { showCounter(UpDown5, Label17, UpDown5.position); }

void TForm9::CheckBox1Click() { updateSaveControls(); }
void TForm9::CheckBox4Click() { updateSaveControls(); }
void TForm9::CheckBox6Click() { updateDeleteControls(); }

void TForm9::updateSaveControls() {
  // The minimum-blocks switch and the deletion of BSR-updated files only matter for automatic
  // saving; the minimum itself only when its switch is on as well.
  CheckBox4.enabled = CheckBox1.checked;
  CheckBox5.enabled = CheckBox1.checked;
  const bool minimum = CheckBox1.checked && CheckBox4.checked;
  Label12.enabled = minimum;
  Label13.enabled = minimum;
  UpDown3.enabled = minimum;
}

void TForm9::updateDeleteControls() {
  Label14.enabled = CheckBox6.checked;
  Label15.enabled = CheckBox6.checked;
  UpDown4.enabled = CheckBox6.checked;
}
