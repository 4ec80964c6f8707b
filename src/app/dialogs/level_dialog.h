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

inline constexpr int kInGainPosMin = settingRange(&Settings::inGainPos).min;
inline constexpr int kInGainPosMax = settingRange(&Settings::inGainPos).max;
inline constexpr int kOutGainPosMin = settingRange(&Settings::outGainPos).min;
inline constexpr int kOutGainPosMax = settingRange(&Settings::outGainPos).max;

class LevelDialog {
 public:
  // The dialog reads and writes the level settings and the two gains of the shared state.
  LevelDialog(Settings& settings, SharedState& state);

  std::string caption = "Adjust input and output level";
  FormBounds bounds{0, 0, 222, 185};
  bool visible = false;

  std::string inputGroupTitle = "Input level";
  TrackBar inputLevelBar{kInGainPosMin, kInGainPosMax, 0, 5};
  Label inputMaxLabel{"+40dB"};
  Label inputMinLabel{"-40dB"};
  Label inputLevelValue;  // current input level
  ImageBox inputMeter{18, 139, {}, {}};

  std::string outputGroupTitle = "Output Level";
  TrackBar outputLevelBar{kOutGainPosMin, kOutGainPosMax, 10, 5};
  Label outputMaxLabel{"0dB"};
  Label outputMinLabel{"-80dB"};
  Label outputLevelValue;  // current output level
  ImageBox outputMeter{18, 139, {}, {}};

  Picture inputMeterPicture;
  Picture outputMeterPicture;

  // Opens the dialog without blocking its owner (the main window): centred on it, then
  // shown().
  void show(const FormBounds& owner);
  void hide() { visible = false; }

  // Both track bars take the stored positions (held within their ranges) and run their
  // change handlers.
  void shown();
  // A track bar moved: its label shows "[<minus the position>dB]", the setting takes the
  // position and the gain follows at once.
  void inputLevelChanged();
  void outputLevelChanged();

  // Redraws one meter for this peak and shows it.
  void updateInputMeter(double peak);
  void updateOutputMeter(double peak);

 private:
  Settings& settings_;
  SharedState& state_;
};
