#include "rig/rig_models.h"

#include <hamlib/rig.h>

#include <algorithm>
#include <strings.h>

#include "rig/hamlib_rig.h"

namespace {

int collect(const struct rig_caps* caps, rig_ptr_t data) {
  auto* models = static_cast<std::vector<RigModel>*>(data);
  models->push_back({static_cast<int>(caps->rig_model), caps->mfg_name ? caps->mfg_name : "",
                     caps->model_name ? caps->model_name : ""});
  return 1;  // go on
}

bool beforeIgnoringCase(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) < 0;
}

std::vector<RigModel> listModels() {
  quietHamlib();
  std::vector<RigModel> models;
  rig_list_foreach(collect, &models);
  std::sort(models.begin(), models.end(), [](const RigModel& a, const RigModel& b) {
    if (strcasecmp(a.maker.c_str(), b.maker.c_str()) != 0) return beforeIgnoringCase(a.maker, b.maker);
    if (a.maker != b.maker) return a.maker < b.maker;  // makers that differ only in case
    if (strcasecmp(a.name.c_str(), b.name.c_str()) != 0) return beforeIgnoringCase(a.name, b.name);
    return a.model < b.model;
  });
  models.erase(std::unique(models.begin(), models.end(),
                           [](const RigModel& a, const RigModel& b) { return a.model == b.model; }),
               models.end());
  return models;
}

}  // namespace

const std::vector<RigModel>& hamlibRigModels() {
  static const std::vector<RigModel> models = listModels();
  return models;
}

std::vector<std::string> rigMakers(const std::vector<RigModel>& models) {
  std::vector<std::string> makers;
  for (const RigModel& m : models)
    if (makers.empty() || makers.back() != m.maker) makers.push_back(m.maker);
  return makers;
}

std::vector<RigModel> rigModelsOf(const std::vector<RigModel>& models, const std::string& maker) {
  std::vector<RigModel> of;
  for (const RigModel& m : models)
    if (m.maker == maker) of.push_back(m);
  return of;
}

const RigModel* findRigModel(const std::vector<RigModel>& models, int model) {
  for (const RigModel& m : models)
    if (m.model == model) return &m;
  return nullptr;
}
