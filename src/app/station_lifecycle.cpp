// Start-up and shut-down of a station: the construction order after the form itself is built,
// the window's life-cycle handlers, and the functions a program calls to bring a station up
// from its settings folder and to take it down again.
#include "app/station_lifecycle.h"

#include "app/settings_file.h"
#include "audio/ptt_port.h"
#include "rig/rig_control.h"

void TForm1::FormCreate() {
  Top = MainTop;
  Left = MainLeft;
}

void TForm1::FormActivate() {
  if (state.txTimeText == "TxTime :") fileEstimate();
  TabControl1Change();
}

void TForm1::FormClose() {
  if (AutoDelete) deleteOldImages();
  MainTop = Top;
  MainLeft = Left;
  ImageQ = ComboBox1.index;
  Encode = ComboBox2.index;
  Mod = ComboBox3.index;
  ImageFile = state.txImagePath;
  WaveLoop = state.waveLoopMode;
  FileLoadNo = state.browseIndex;
  if (settingsFile.empty()) return;
  std::string error;
  // The file is replaced as a whole, so a failed save leaves the previous one intact.
  if (!saveSettings(settingsFile, *this, &error)) platform.messageBox(error, true);
}

void TForm1::FormDestroy() {
  // The push-to-talk lines are released before the sound devices close.
  ptt_->closePttPort();
  rig_->release();
  closeDevices();
}

std::unique_ptr<TForm1> startStation(const AppPaths& paths, Platform& platform,
                                     StationDevices devices) {
  // The form builds its controls, the scale list, the pictures and the receive constants.
  auto form = std::make_unique<TForm1>(platform, devices);
  form->dataFolder = paths.dataFolder;
  form->settingsFile = paths.settingsFile;
  static_cast<Settings&>(*form) = loadSettings(paths.settingsFile);
  if (form->WaveLoop) platform.messageBox(kWaveLoopWarning, true);
  // Clamps, the default transmit image, the combo selections, four-level mode and the gains.
  form->applySettings(paths.defaultTxImage);
  form->applyRigSettings();
  form->TabControl1.index = 0;
  if (form->AutoDelete) form->deleteOldImages();
  form->openDevices();
  form->FormCreate();
  return form;
}

void stopStation(TForm1& form) {
  form.FormClose();
  form.FormDestroy();
}
