#include "app/dialogs/level_dialog.h"

#include <cmath>

#include "displays/level_meter.h"

namespace {

std::string levelCaption(int position) {
  std::string caption = "[";
  caption += std::to_string(-position);
  caption += "dB]";
  return caption;
}

}  // namespace

double levelGain(int position) { return std::pow(10.0, -position / 20.0); }

TForm2::TForm2(Settings& settings, SharedState& state) : settings_(settings), state_(state) {
  inputMeterPicture.resize(Image1.width, Image1.height);
  outputMeterPicture.resize(Image2.width, Image2.height);
}

void TForm2::show(const FormBounds& owner) {
  bounds = centredOn(bounds, owner);
  visible = true;
  FormShow();
}

void TForm2::FormShow() {
  TrackBar1.setPosition(settings_.InGainPos);
  TrackBar1Change();
  TrackBar2.setPosition(settings_.OutGainPos);
  TrackBar2Change();
}

void TForm2::TrackBar1Change() {
  Label5.caption = levelCaption(TrackBar1.position);
  settings_.InGainPos = TrackBar1.position;
  state_.inputGain = levelGain(TrackBar1.position);
}

void TForm2::TrackBar2Change() {
  Label6.caption = levelCaption(TrackBar2.position);
  settings_.OutGainPos = TrackBar2.position;
  state_.outputGain = levelGain(TrackBar2.position);
}

void TForm2::updateInputMeter(double peak) {
  drawLevelMeter(inputMeterPicture, peak);
  Image1.show(inputMeterPicture);
}

void TForm2::updateOutputMeter(double peak) {
  drawLevelMeter(outputMeterPicture, peak);
  Image2.show(outputMeterPicture);
}
