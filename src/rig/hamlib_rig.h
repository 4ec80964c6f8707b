#pragma once
// One rig reached through Hamlib, used from one thread at a time (the rig control's worker
// and the command-line tool). Every call talks to the rig and may take as long as the rig's
// time-out; the answers are plain values. This and rig_models.cpp are the only files that
// include Hamlib.
#include <memory>
#include <optional>
#include <string>

#include "rig/rig_config.h"

// The result of one exchange with the rig. A failure is "lost" when the rig did not answer
// (time-out, I/O or protocol error: the connection is gone); otherwise the rig answered that
// it cannot do what was asked, and the connection is still good.
struct RigResult {
  bool ok = true;
  bool lost = false;
  std::string error;  // one line, empty when ok
};

class HamlibRig {
 public:
  HamlibRig();
  ~HamlibRig();  // closes the connection; does not release a keyed transmitter by itself
  HamlibRig(const HamlibRig&) = delete;
  HamlibRig& operator=(const HamlibRig&) = delete;

  // Opens the rig of `config`, closing any rig opened before. `timeoutMs` bounds each
  // exchange, so a rig that stopped answering is noticed within a known time.
  RigResult open(const RigConfig& config, int timeoutMs = 400);
  void close();
  bool isOpen() const;

  RigResult setPtt(bool on);
  // The transmitter's state as the rig reports it; nothing when it cannot tell.
  std::optional<bool> readPtt(RigResult* result = nullptr);
  // The frequency of the current VFO in Hz; nothing when it cannot be read.
  std::optional<double> readFrequency(RigResult* result = nullptr);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

// Keeps Hamlib's diagnostic chatter off the program's output; called by everything here
// before the first use of Hamlib, and safe to call again.
void quietHamlib();
