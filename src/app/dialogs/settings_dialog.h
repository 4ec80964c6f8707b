#pragma once
// The settings dialog as a form model: every station setting that is not a main-window combo,
// a level or the window position. Showing it fills the controls from the main window's
// settings and lists the sound devices and serial ports; "OK" stores the controls back and
// restarts the sound devices when their choice changed; "Cancel" stores nothing.
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/dialogs/network_panel.h"
#include "app/dialogs/auto_panel.h"
#include "app/dialogs/rig_panel.h"
#include "app/dialogs/sound_device_lists.h"
#include "audio/serial_port_list.h"

class MainWindow;

enum class ModalResult { none, ok, cancel };

// Follows a stored push-to-talk port in the list while it is not there (an adapter unplugged).
inline constexpr const char* kMissingPortMark = " (missing)";

class SettingsDialog {
 public:
  // The port lister is kept by reference and must outlive the dialog.
  explicit SettingsDialog(const SerialPortLister& ports = systemSerialPorts());
  SettingsDialog(const SettingsDialog&) = delete;
  SettingsDialog& operator=(const SettingsDialog&) = delete;

  // Fills the controls from `owner` (shown()), lets the platform show the dialog modally until
  // "OK" or "Cancel" closes it, and says whether it was closed with "OK" (settings stored).
  // The settings reach the file when the main window closes.
  bool runModal(MainWindow& owner);

  // --- controls ---
  std::string caption = "Settings";
  Combo inputDeviceCombo;      // "Input device": "Default input device", then the input devices
  Combo outputDeviceCombo;     // "Output device": "Default output device", then the output devices
  Combo serialPortCombo;       // "RS232C port number": the serial ports found, as device paths
  Edit callsignEdit{"", 510};  // "Callsign"
  Edit imageEditorEdit;        // "Image editor name"
  Edit logModeEdit, logReportEdit, logBandEdit;  // "Log out fix values": "Mode", "S/N", "Band"
  UpDown timeoutCounter, endFramesCounter, saveMinimumCounter, deleteDaysCounter,
      callsignRepeatCounter;
  Label timeoutValue, endFramesValue, saveMinimumValue, deleteDaysValue,
      callsignRepeatValue;          // the counters' values
  Label errorFreeLabel, daysLabel;  // "Error free", "days"
  CheckBox autoSaveCheck{"Save image automatically when received new one."};
  CheckBox errorFreeOnlyCheck{"Decode only error free image data."};
  CheckBox overwriteBsrCheck{"Overwrite another BSR image blocks."};
  CheckBox saveMinimumCheck{"Save only over number of"};
  CheckBox deleteOnBsrCheck{"Delete image when overwrite BSR image block."};
  CheckBox deleteOldCheck{"Delete old image file passed"};
  CheckBox showClockCheck{"Show clock in waterfall and eye diagram."};
  // "Image block scan direction"
  RadioButton horizontalScanRadio{"Horizontal"}, verticalScanRadio{"Vertical"},
      randomScanRadio{"Random"};
  // "Waterfall display color"
  RadioButton monochromeRadio{"Monochrome"}, blueRadio{"Blue"}, fullColourRadio{"FullColor"},
      goldRadio{"Gold"};
  Button okButton{"OK"};
  Button volumeControlButton{"Volume Control"};
  Button cancelButton{"Cancel"};
  RigPanel rigPanel;
  NetworkPanel networkPanel;
  AutoPanel autoPanel;

  ModalResult modalResult = ModalResult::none;

  // --- handlers ---
  void shown();
  void okClicked();  // "OK": a bad callsign is refused with a message and the dialog stays open
  void volumeControlClicked();  // "Volume Control"
  void cancelClicked();         // "Cancel"
  // Counter arrows: the window layer sets the position, then calls the handler.
  void timeoutStepped();
  void endFramesStepped();
  void saveMinimumStepped();
  void deleteDaysStepped();
  void callsignRepeatStepped();
  void autoSaveToggled();
  void saveMinimumToggled();
  void deleteOldToggled();
  // The rig section's "Test" and the window layer's timer for it.
  void rigTestClicked();
  void rigTimerTick();

 private:
  void fillPortList();
  void updateSaveControls();
  void updateDeleteControls();

  SoundDeviceLists deviceLists_;
  int missingPortIndex_ = -1;  // the entry of a stored port that is not there; -1: none
  const SerialPortLister& ports_;
  MainWindow* owner_ = nullptr;
};
