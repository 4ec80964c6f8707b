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

LevelDialog::LevelDialog(Settings& settings, SharedState& state)
    : settings_(settings), state_(state) {
  inputMeterPicture.resize(inputMeter.width, inputMeter.height);
  outputMeterPicture.resize(outputMeter.width, outputMeter.height);
}

void LevelDialog::show(const FormBounds& owner) {
  bounds = centredOn(bounds, owner);
  visible = true;
  shown();
}

void LevelDialog::shown() {
  inputLevelBar.setPosition(settings_.inGainPos);
  inputLevelChanged();
  outputLevelBar.setPosition(settings_.outGainPos);
  outputLevelChanged();
}

void LevelDialog::inputLevelChanged() {
  inputLevelValue.caption = levelCaption(inputLevelBar.position);
  settings_.inGainPos = inputLevelBar.position;
  state_.inputGain = levelGain(inputLevelBar.position);
}

void LevelDialog::outputLevelChanged() {
  outputLevelValue.caption = levelCaption(outputLevelBar.position);
  settings_.outGainPos = outputLevelBar.position;
  state_.outputGain = levelGain(outputLevelBar.position);
}

void LevelDialog::updateInputMeter(double peak) {
  drawLevelMeter(inputMeterPicture, peak);
  inputMeter.show(inputMeterPicture);
}

void LevelDialog::updateOutputMeter(double peak) {
  drawLevelMeter(outputMeterPicture, peak);
  outputMeter.show(outputMeterPicture);
}
