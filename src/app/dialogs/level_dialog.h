#pragma once
// The level dialog "Adjust input and output level": the input and output track bars that set
// the two gains, and the two bar meters the buffer steps feed while the dialog is on screen.
#include <string>

#include "app/controls.h"
#include "app/settings.h"
#include "app/settings_ranges.h"
#include "core/shared_state.h"
#include "imaging/picture.h"

// Gain of a level position: 10^(-position / 20), so position -40 is +40 dB and 80 is -80 dB.
double levelGain(int position);

inline constexpr int kInGainPosMin = settingRange(&Settings::InGainPos).min;
inline constexpr int kInGainPosMax = settingRange(&Settings::InGainPos).max;
inline constexpr int kOutGainPosMin = settingRange(&Settings::OutGainPos).min;
inline constexpr int kOutGainPosMax = settingRange(&Settings::OutGainPos).max;

class TForm2 {
 public:
  // The dialog reads and writes the level settings and the two gains of the shared state.
  TForm2(Settings& settings, SharedState& state);

  std::string Caption = "Adjust input and output level";
  FormBounds bounds{0, 0, 222, 185};
  bool visible = false;

  std::string GroupBox1 = "Input level";
  TrackBar TrackBar1{kInGainPosMin, kInGainPosMax, 0, 5};
  Label Label1{"+40dB"};
  Label Label2{"-40dB"};
  Label Label5;  // current input level
  ImageBox Image1{18, 139, {}, {}};

  std::string GroupBox2 = "Output Level";
  TrackBar TrackBar2{kOutGainPosMin, kOutGainPosMax, 10, 5};
  Label Label3{"0dB"};
  Label Label4{"-80dB"};
  Label Label6;  // current output level
  ImageBox Image2{18, 139, {}, {}};

  Picture inputMeterPicture;
  Picture outputMeterPicture;

  // Opens the dialog without blocking its owner (the main window): centred on it, then
  // FormShow.
  void show(const FormBounds& owner);
  void hide() { visible = false; }

  // Both track bars take the stored positions (held within their ranges) and run their
  // change handlers.
  void FormShow();
  // A track bar moved: its label shows "[<minus the position>dB]", the setting takes the
  // position and the gain follows at once.
  void TrackBar1Change();
  void TrackBar2Change();

  // Redraws one meter for this peak and shows it.
  void updateInputMeter(double peak);
  void updateOutputMeter(double peak);

 private:
  Settings& settings_;
  SharedState& state_;
};
