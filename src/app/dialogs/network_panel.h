#pragma once
// The settings dialog's network section: automatic logging, the logging program's UDP port
// and the reports of heard callsigns with this station's locator ([Log] settings).
#include <string>

#include "app/controls.h"
#include "app/settings.h"

struct NetworkPanel {
  CheckBox autoLogCheck{"Log every received picture automatically"};
  Edit udpServerEdit;  // "Logger UDP": host:port, empty for none
  CheckBox reportHeardCheck{"Report heard callsigns to PSK Reporter"};
  Edit locatorEdit;  // "Locator"

  void fill(const Settings& s);
  // Why the controls cannot be stored (a locator or server that is not of its form); empty
  // when they can.
  std::string problem() const;
  void store(Settings& s) const;
};
