#pragma once
// The first-start page: what a new station (no callsign in its settings) is asked before
// anything else. The callsign (checked, in capitals), the input and output device (with the
// input level, so the operator sees the radio is heard) and how the transmitter is keyed, as
// "Settings" has them; nothing more. "OK" stores them; "Cancel" leaves the station on its
// defaults and the page comes again at the next start.
#include <string>

#include "app/controls.h"
#include "app/dialogs/rig_panel.h"
#include "app/dialogs/settings_dialog.h"
#include "app/dialogs/sound_device_lists.h"
#include "audio/serial_port_list.h"

class MainWindow;

// Whether a station starting with `settings` opens the first-start page: only without a
// callsign, and never for a station folder given with --home that holds a settings file.
bool firstStartWanted(const std::string& callsign, bool homeWithSettingsFile);

// Shows the station's first-start page when it is wanted; true when it was shown.
bool offerFirstStart(MainWindow& station, bool homeWithSettingsFile);

class FirstStartPage {
 public:
  // The port lister is kept by reference and must outlive the page.
  explicit FirstStartPage(const SerialPortLister& ports = systemSerialPorts());
  FirstStartPage(const FirstStartPage&) = delete;
  FirstStartPage& operator=(const FirstStartPage&) = delete;

  // Fills the page from `owner` (shown()), lets the platform show it modally until "OK" or
  // "Cancel" closes it, and says whether the station was set up.
  bool runModal(MainWindow& owner);

  // --- controls ---
  std::string caption = "Set up your station";
  Label introLabel{"Welcome to Pelimo. Set up your station; \"Settings\" changes all of it later."};
  Edit callsignEdit{"", 20};  // "Callsign"
  Label callsignHint{"", colours::black, Colour{240, 240, 240}};  // why the callsign cannot be taken yet
  Combo inputDeviceCombo;     // "Input device", as in "Settings"
  Combo outputDeviceCombo;    // "Output device"
  ImageBox inputMeter{18, 139, {}, {}};  // the input level, drawn for every receive buffer
  RigPanel rigPanel;          // "Push-to-talk" and the rig, as in "Settings"
  Button okButton{"OK", false};
  Button cancelButton{"Cancel"};

  bool visible = false;
  ModalResult modalResult = ModalResult::none;

  // --- handlers ---
  void shown();
  void callsignEdited();      // set callsignEdit.text, then call: capitals, check, "OK"
  void inputDeviceChanged();  // the chosen devices open at once, so the level shows them
  void outputDeviceChanged();
  void pttMethodChanged();    // set rigPanel.pttMethodCombo.index, then call
  void okClicked();
  void cancelClicked();
  // Draws the input level for this peak (the receive step's, while the page is on screen).
  void updateInputMeter(double peak);

  Picture inputMeterPicture{18, 139};

 private:
  const SerialPortLister& ports_;
  SoundDeviceLists deviceLists_;
  MainWindow* owner_ = nullptr;
  int openedInput_ = 0, openedOutput_ = 0;  // the devices open when the page was shown
  std::string openedInputName_, openedOutputName_;
};
