#pragma once
// The rig models Hamlib knows, for choosing a rig by maker and name.
#include <string>
#include <vector>

struct RigModel {
  int model = 0;       // Hamlib's model number
  std::string maker;   // "Icom", "Yaesu", "Hamlib" (the dummy and network rigs), ...
  std::string name;    // "IC-7300", "FT-991", ...
};

// Every model, sorted by maker, then name (letter case ignored), each model once.
const std::vector<RigModel>& hamlibRigModels();

// The makers in the order of hamlibRigModels(), each once.
std::vector<std::string> rigMakers(const std::vector<RigModel>& models);
// The models of one maker, in list order.
std::vector<RigModel> rigModelsOf(const std::vector<RigModel>& models, const std::string& maker);
// The entry of a model number; nullptr when the list has none.
const RigModel* findRigModel(const std::vector<RigModel>& models, int model);
