#pragma once
// The settings dialog as a form model: every station setting that is not a main-window combo,
// a level or the window position. Showing it fills the controls from the main window's
// settings and lists the sound devices and serial ports; "OK" stores the controls back and
// restarts the sound devices when their choice changed; "Cancel" stores nothing.
#include <string>

#include "app/controls.h"
#include "app/dialogs/rig_panel.h"
#include "audio/serial_port_list.h"

class TForm1;

enum class ModalResult { none, ok, cancel };

class TForm9 {
 public:
  // The port lister is kept by reference and must outlive the dialog.
  explicit TForm9(const SerialPortLister& ports = systemSerialPorts());
  TForm9(const TForm9&) = delete;
  TForm9& operator=(const TForm9&) = delete;

  // Fills the controls from `owner` (FormShow), lets the platform show the dialog modally until
  // "OK" or "Cancel" closes it, and says whether it was closed with "OK" (settings stored).
  // The settings reach the file when the main window closes.
  bool ShowModal(TForm1& owner);

  // --- controls ---
  std::string Caption = "Settings";
  Combo ComboBox1;  // "Input device": "Default input device", then the input devices
  Combo ComboBox2;  // "Output device": "Default output device", then the output devices
  Combo ComboBox3;  // "RS232C port number": the serial ports found, as device paths
  Edit Edit1{"", 510};  // "Callsign"
  Edit Edit2;           // "Image editor name"
  Edit Edit3, Edit4, Edit5;  // "Log out fix values": "Mode", "S/N", "Band"
  UpDown UpDown1, UpDown2, UpDown3, UpDown4, UpDown5;
  Label Label6, Label10, Label12, Label14, Label17;  // the counters' values
  Label Label13, Label15;                             // "Error free", "days"
  CheckBox CheckBox1{"Save image automatically when received new one."};
  CheckBox CheckBox2{"Decode only error free image data."};
  CheckBox CheckBox3{"Overwrite another BSR image blocks."};
  CheckBox CheckBox4{"Save only over number of"};
  CheckBox CheckBox5{"Delete image when overwrite BSR image block."};
  CheckBox CheckBox6{"Delete old image file passed"};
  CheckBox CheckBox7{"Show clock in waterfall and eye diagram."};
  // "Image block scan direction"
  RadioButton RadioButton1{"Horizontal"}, RadioButton2{"Vertical"}, RadioButton3{"Random"};
  // "Waterfall display color"
  RadioButton RadioButton4{"Monochrome"}, RadioButton5{"Blue"}, RadioButton6{"FullColor"},
      RadioButton7{"Gold"};
  Button Button1{"OK"};
  Button Button2{"Volume Control"};
  Button Button3{"Cancel"};
  RigPanel rigPanel;

  ModalResult modalResult = ModalResult::none;

  // --- handlers ---
  void FormShow();
  void Button1Click();  // "OK": a bad callsign is refused with a message and the dialog stays open
  void Button2Click();  // "Volume Control"
  void Button3Click();  // "Cancel"
  // Counter arrows: the window layer sets the position, then calls the handler.
  void UpDown1Click();
  void UpDown2Click();
  void UpDown3Click();
  void UpDown4Click();
  void UpDown5Click();
  void CheckBox1Click();
  void CheckBox4Click();
  void CheckBox6Click();
  // The rig section's "Test" and the window layer's timer for it.
  void rigTestClicked();
  void rigTimerTick();

 private:
  void fillDeviceList(Combo& list, const char* defaultEntry, int choice, bool input);
  void fillPortList();
  void updateSaveControls();
  void updateDeleteControls();
  void restartDevices(int input, int output);

  const SerialPortLister& ports_;
  TForm1* owner_ = nullptr;
};
