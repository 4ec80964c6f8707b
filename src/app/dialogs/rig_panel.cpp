#include "app/dialogs/rig_panel.h"

#include <algorithm>

#include "app/main_window.h"
#include "app/rig_settings.h"
#include "core/amateur_band.h"
#include "rig/rig_control.h"
#include "rig/rig_models.h"

namespace {

using namespace std::chrono_literals;

constexpr int kSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr auto kTestKeying = 1s;
constexpr auto kTestConnectLimit = 5s;
constexpr const char* kNoMaker = "None";

}  // namespace

RigPanel::RigPanel() {
  pttMethodCombo.items = {"Serial port DTR/RTS", "Through the rig (Hamlib)", "None (VOX)"};
  rigMakerCombo.items = {kNoMaker};
  const std::vector<std::string> makers = rigMakers(hamlibRigModels());
  rigMakerCombo.items.insert(rigMakerCombo.items.end(), makers.begin(), makers.end());
  rigSpeedCombo.items = {"Rig default"};
  for (int speed : kSpeeds) rigSpeedCombo.items.push_back(std::to_string(speed));
  pttTypeCombo.items = {"CAT command", "DTR of the rig port", "RTS of the rig port", "CM108 GPIO"};
}

void RigPanel::fill(const Settings& s) {
  pttMethodCombo.index = std::clamp(s.pttMethod, 0, 2);
  selectModel(s.rigModel);
  rigPortEdit.text = s.rigPort;
  const int* speed = std::find(std::begin(kSpeeds), std::end(kSpeeds), s.rigSpeed);
  // A speed outside the list (typed into the file) is offered as it is.
  rigSpeedCombo.items.resize(1 + std::size(kSpeeds));
  if (s.rigSpeed <= 0) {
    rigSpeedCombo.index = 0;
  } else if (speed != std::end(kSpeeds)) {
    rigSpeedCombo.index = 1 + static_cast<int>(speed - std::begin(kSpeeds));
  } else {
    rigSpeedCombo.items.push_back(std::to_string(s.rigSpeed));
    rigSpeedCombo.index = static_cast<int>(rigSpeedCombo.items.size()) - 1;
  }
  pttTypeCombo.index = std::clamp(s.pttType, 0, 3);
  pttDeviceEdit.text = s.pttDevice;
  statusLabel.caption.clear();
  test_ = Test::idle;
  tried_ = false;
  methodChanged();
}

void RigPanel::store(Settings& s) const {
  s.pttMethod = pttMethodCombo.valid() ? pttMethodCombo.index : kSerialPtt;
  s.rigModel = chosenModel();
  s.rigPort = rigPortEdit.text;
  s.rigSpeed = rigSpeedCombo.index > 0 && rigSpeedCombo.valid()
                   ? std::stoi(rigSpeedCombo.items[rigSpeedCombo.index])
                   : 0;
  s.pttType = pttTypeCombo.valid() ? pttTypeCombo.index : 0;
  s.pttDevice = pttDeviceEdit.text;
}

int RigPanel::chosenModel() const {
  if (rigMakerCombo.index <= 0 || !rigMakerCombo.valid() || !rigModelCombo.valid()) return kNoRigModel;
  const std::vector<RigModel> models =
      rigModelsOf(hamlibRigModels(), rigMakerCombo.items[rigMakerCombo.index]);
  return rigModelCombo.index < static_cast<int>(models.size()) ? models[rigModelCombo.index].model
                                                               : kNoRigModel;
}

void RigPanel::selectModel(int model) {
  const RigModel* entry = findRigModel(hamlibRigModels(), model);
  const auto maker = entry ? std::find(rigMakerCombo.items.begin(), rigMakerCombo.items.end(), entry->maker)
                           : rigMakerCombo.items.end();
  rigMakerCombo.index = maker == rigMakerCombo.items.end()
                            ? 0
                            : static_cast<int>(maker - rigMakerCombo.items.begin());
  makerChanged();
  if (!entry) return;
  const std::vector<RigModel> models = rigModelsOf(hamlibRigModels(), entry->maker);
  for (size_t i = 0; i < models.size(); ++i)
    if (models[i].model == model) rigModelCombo.index = static_cast<int>(i);
}

void RigPanel::makerChanged() {
  rigModelCombo.items.clear();
  rigModelCombo.index = -1;
  if (rigMakerCombo.index > 0 && rigMakerCombo.valid()) {
    for (const RigModel& m : rigModelsOf(hamlibRigModels(), rigMakerCombo.items[rigMakerCombo.index]))
      rigModelCombo.items.push_back(m.name);
    rigModelCombo.index = 0;
  }
  rigModelCombo.enabled = !rigModelCombo.items.empty();
}

void RigPanel::methodChanged() {
  const bool throughRig = pttMethodCombo.index == kRigPtt;
  pttTypeCombo.enabled = throughRig;
  pttDeviceEdit.enabled = throughRig;
}

void RigPanel::testClicked(MainWindow& station) {
  if (station.state.txInProgress) {
    statusLabel.caption = "Not while transmitting";
    return;
  }
  Settings trial = station.settings;
  store(trial);
  const RigConfig config = rigConfigOf(trial);
  if (config.model == kNoRigModel) {
    statusLabel.caption = "No rig chosen";
    return;
  }
  station.rig().configure(config);
  tried_ = true;
  test_ = Test::connecting;
  testStarted_ = std::chrono::steady_clock::now();
  statusLabel.caption = "Connecting...";
}

void RigPanel::timerTick(MainWindow& station) {
  if (test_ == Test::idle) return;
  RigControl& rig = station.rig();
  const RigStatus status = rig.status();
  const auto waited = std::chrono::steady_clock::now() - testStarted_;
  if (test_ == Test::connecting) {
    if (status.connected) {
      const std::string frequency = status.frequencyHz ? frequencyText(*status.frequencyHz) : "no frequency";
      if (pttMethodCombo.index == kRigPtt && station.state.txInProgress == false &&
          rig.keyFor(kTestKeying)) {
        test_ = Test::keyed;
        testStarted_ = std::chrono::steady_clock::now();
        statusLabel.caption = "Keyed 1 s, " + frequency;
      } else {
        test_ = Test::idle;
        statusLabel.caption = "Rig answers, " + frequency;
      }
    } else if (!status.problem.empty() || waited > kTestConnectLimit) {
      test_ = Test::idle;
      statusLabel.caption = status.problem.empty() ? "The rig does not answer" : status.problem;
    }
    return;
  }
  if (!rig.isKeyed()) {
    test_ = Test::idle;
    statusLabel.caption = "Released";
  }
}

void RigPanel::cancelled(MainWindow& station) {
  if (!tried_) return;
  station.rig().release();
  station.applyRigSettings();
  tried_ = false;
  test_ = Test::idle;
}
