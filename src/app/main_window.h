#pragma once
// The main window as a form model: its controls, the pictures it owns, the shared state and
// the settings. The window layer draws this model and forwards events to its handlers.
#include <string>

#include "app/controls.h"
#include "app/platform.h"
#include "app/settings.h"
#include "app/shared_state.h"
#include "imaging/picture.h"

inline constexpr const char* kProgramName = "Pelimo";
inline constexpr const char* kProgramVersion = "0.1";

class TForm1 : public Settings {
 public:
  explicit TForm1(Platform& platform);

  Platform& platform;
  SharedState state;

  // --- controls ---
  std::string Caption = kProgramName;
  Button SpeedButton1{"Send Image", true, false, colours::badBlock};
  Button SpeedButton2{"Send BSR", false};
  Button SpeedButton3{"Resp BSR", false};
  Button SpeedButton4{"<", true};
  Button SpeedButton5{">", true};
  Button SpeedButton6{"Send Text", true, false, colours::badBlock};
  Button SpeedButton7{"Delete", true};
  Button SpeedButton8{"Finish RX", false, false, Colour{0, 0, 255}};
  Button SpeedButton9{"Log out", false};
  Button SpeedButton10{"AF Level", true};
  Button SpeedButton11{"To Clipboard", true};
  Button SpeedButton12{"From Clipboard", true};
  Button SpeedButton13{"Settings", true};
  Combo ComboBox1;  // Scale
  Combo ComboBox2{{"Normal (Non)", "Convolution"}, 0};
  Combo ComboBox3{{"MSK", "4L-FSK"}, 0};
  Edit Edit1{"Input Text and Click ->", 510};
  Memo Memo1;
  ImageBox Image1{256, 127};
  ImageBox Image2{40, 30, {}, "Error Display"};
  ImageBox Image3{320, 240};
  Panel Panel4;
  Label Label5{"", Colour{0, 255, 0}, colours::black};
  Label Label9{"", Colour{0, 255, 0}, colours::black};
  Label Label6{"", colours::white, colours::black};
  Label Label8{"", colours::white, colours::black};
  Label Label7;  // TX/RX tab status line
  TabControl TabControl1{{"TX", "RX", "LOG"}, 0};

  // --- pictures ---
  Picture txPicture;
  Picture rxPicture;
  Picture txPreviewPicture;
  Picture browsePicture;
  Picture clipboardPicture;
  Picture eyePicture;
  Picture waterfallPicture;
  Picture errorPicture;

  // --- level meters and reception flag ---
  double inputPeak = 0.0;
  double outputPeak = 0.0;
  bool rxImageOpen = false;

  // The scale factor the Scale combo selects (index clamped into the table).
  int scaleIndex() const;
  double scaleFactor() const { return scaleTable[scaleIndex()]; }

  // Refreshes "Send BSR" and "Resp BSR" from the two block counts.
  void refreshBsrButtons();
};
