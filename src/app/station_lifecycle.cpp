// Start-up and shut-down of a station: the construction order after the form itself is built,
// the window's life-cycle handlers, and the functions a program calls to bring a station up
// from its settings folder and to take it down again.
#include "app/station_lifecycle.h"

#include "app/callsign_check.h"
#include "app/settings_file.h"
#include "audio/ptt_port.h"
#include "rig/rig_control.h"

void MainWindow::created() {
  windowTop = settings.mainTop;
  windowLeft = settings.mainLeft;
}

void MainWindow::activated() {
  if (state.txTimeText == "TxTime :") fileEstimate();
  pictureTabChanged();
}

void MainWindow::closing() {
  // The radio first: nothing that follows (a box about old images or the settings file) may
  // keep it keyed.
  releaseRadio();
  // A picture still arriving is kept as "Finish RX" keeps it.
  if (rxImageOpen) finishRxClicked();
  closeNetworkReports();
  if (settings.autoDelete) deleteOldImages();
  writeSettings();
}

void MainWindow::writeSettings() {
  settings.mainTop = windowTop;
  settings.mainLeft = windowLeft;
  settings.scaleIndex = scaleCombo.index;
  settings.codeIndex = codeCombo.index;
  settings.modeIndex = modeCombo.index;
  settings.imageFile = state.txImagePath;
  settings.waveLoop = state.waveLoopMode;
  settings.browseIndex = state.browseIndex;
  if (settingsFile.empty()) return;
  std::string error;
  // The file is replaced as a whole, so a failed save leaves the previous one intact.
  if (!saveSettings(settingsFile, settings, &error)) {
    lastFileProblem = error;
    platform.messageBox(error, true);
  }
}

void MainWindow::destroying() {
  // The push-to-talk lines are released before the sound devices close.
  ptt_->closePttPort();
  rig_->release();
  closeDevices();
}

std::unique_ptr<MainWindow> startStation(const AppPaths& paths, Platform& platform,
                                         StationDevices devices) {
  // The form builds its controls, the scale list, the pictures and the receive constants.
  auto form = std::make_unique<MainWindow>(platform, devices);
  form->dataFolder = paths.dataFolder;
  const SettingsRead read = readSettingsFile(paths.settingsFile);
  form->settings = read.settings;
  // A file that is there but cannot be read is never written over: the station runs on the
  // defaults and keeps no settings file.
  form->settingsFile = read.problem.empty() ? paths.settingsFile : std::string();
  if (!read.problem.empty()) platform.messageBox(read.problem + kUnreadSettingsNote, true);
  // Callsigns are used in capitals, also one typed into the file by hand. One the settings
  // dialog would refuse never goes on the air: it is refused with the dialog's message, and
  // sending waits for a callsign as on a new station.
  form->settings.callsign = callsignInCapitals(form->settings.callsign);
  if (const std::string problem = callsignProblem(form->settings.callsign); !problem.empty()) {
    platform.messageBox(problem, true);
    form->settings.callsign.clear();
  }
  if (form->settings.waveLoop) platform.messageBox(kWaveLoopWarning, true);
  // Clamps, the default transmit image, the combo selections, four-level mode and the gains.
  form->applySettings(paths.defaultTxImage);
  form->applyRigSettings();
  form->applyNetworkSettings();
  form->pictureTabs.index = kTxTab;
  if (form->settings.autoDelete) form->deleteOldImages();
  form->openDevices();
  form->created();
  return form;
}

void stopStation(MainWindow& form) {
  form.closing();
  form.destroying();
}
