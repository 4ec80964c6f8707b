#include "rig/hamlib_rig.h"

#include <hamlib/rig.h>

#include <cstdarg>
#include <cstdlib>
#include <mutex>

namespace {

// The PTT type names of Hamlib's "ptt_type" setting, by RigPttType.
constexpr const char* kPttTypeNames[kRigPttTypeCount] = {"RIG", "DTR", "RTS", "CM108"};

int swallowDebug(enum rig_debug_level_e, rig_ptr_t, const char*, va_list) { return 0; }

RigResult resultOf(int code, const char* what) {
  if (code == RIG_OK) return {};
  const int error = std::abs(code);
  RigResult r;
  r.ok = false;
  r.lost = !RIG_IS_SOFT_ERRCODE(error);
  // rigerror2 gives the plain text of the code (rigerror appends Hamlib's debug trace).
  r.error = std::string(what) + ": " + rigerror2(error);
  while (!r.error.empty() && (r.error.back() == '\n' || r.error.back() == '\r')) r.error.pop_back();
  return r;
}

bool setConf(RIG* rig, const char* name, const std::string& value) {
  const token_t token = rig_token_lookup(rig, name);
  return token != RIG_CONF_END && rig_set_conf(rig, token, value.c_str()) == RIG_OK;
}

}  // namespace

void quietHamlib() {
  static std::once_flag once;
  std::call_once(once, [] {
    rig_set_debug(RIG_DEBUG_NONE);
    rig_set_debug_callback(swallowDebug, nullptr);
    rig_load_all_backends();
  });
}

struct HamlibRig::Handle {
  RIG* rig = nullptr;
  bool open = false;
};

HamlibRig::HamlibRig() : handle_(std::make_unique<Handle>()) { quietHamlib(); }

HamlibRig::~HamlibRig() { close(); }

bool HamlibRig::isOpen() const { return handle_->open; }

void HamlibRig::close() {
  if (!handle_->rig) return;
  if (handle_->open) rig_close(handle_->rig);
  rig_cleanup(handle_->rig);
  handle_->rig = nullptr;
  handle_->open = false;
}

RigResult HamlibRig::open(const RigConfig& config, int timeoutMs) {
  close();
  RIG* rig = rig_init(config.model);
  if (!rig) return {false, false, "Hamlib knows no rig model " + std::to_string(config.model)};
  handle_->rig = rig;
  // The first setting Hamlib refuses names the failure.
  std::string refused;
  auto set = [&](const char* name, const std::string& value) {
    if (refused.empty() && !setConf(rig, name, value)) refused = std::string(name) + "=" + value;
  };
  if (!config.port.empty()) set("rig_pathname", config.port);
  // Only a rig on a serial port has a speed (rigctld and the simulated rig have none).
  if (config.speed > 0 && rig->caps->port_type == RIG_PORT_SERIAL)
    set("serial_speed", std::to_string(config.speed));
  set("timeout", std::to_string(timeoutMs));
  set("retry", "0");
  const int ptt = static_cast<int>(config.pttType);
  if (ptt >= 0 && ptt < kRigPttTypeCount) set("ptt_type", kPttTypeNames[ptt]);
  if (!config.pttDevice.empty()) set("ptt_pathname", config.pttDevice);
  if (!refused.empty()) {
    close();
    return {false, false,
            "Hamlib refused the setting " + refused + " for rig model " + std::to_string(config.model)};
  }
  const std::string where = config.port.empty() ? std::string() : " on " + config.port;
  const RigResult opened = resultOf(rig_open(rig), ("Can not open the rig" + where).c_str());
  if (!opened.ok) {
    close();
    return opened;
  }
  handle_->open = true;
  // Every read asks the rig itself, so a rig that stopped answering is noticed at once.
  rig_set_cache_timeout_ms(rig, HAMLIB_CACHE_ALL, 0);
  return {};
}

RigResult HamlibRig::setPtt(bool on) {
  if (!handle_->open) return {false, true, "The rig is not connected"};
  return resultOf(rig_set_ptt(handle_->rig, RIG_VFO_CURR, on ? RIG_PTT_ON : RIG_PTT_OFF),
                  on ? "The rig could not be keyed" : "The rig could not be released");
}

std::optional<bool> HamlibRig::readPtt(RigResult* result) {
  if (!handle_->open) return std::nullopt;
  ptt_t ptt = RIG_PTT_OFF;
  const RigResult r = resultOf(rig_get_ptt(handle_->rig, RIG_VFO_CURR, &ptt), "PTT state");
  if (result) *result = r;
  if (!r.ok) return std::nullopt;
  return ptt != RIG_PTT_OFF;
}

std::optional<double> HamlibRig::readFrequency(RigResult* result) {
  if (!handle_->open) return std::nullopt;
  freq_t hz = 0;
  const RigResult r = resultOf(rig_get_freq(handle_->rig, RIG_VFO_CURR, &hz), "Frequency");
  if (result) *result = r;
  if (!r.ok || hz <= 0) return std::nullopt;
  return static_cast<double>(hz);
}
