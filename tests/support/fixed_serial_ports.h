#pragma once
// A serial-port lister whose ports the test sets, as if adapters were plugged in or out.
#include <string>
#include <vector>

#include "audio/serial_port_list.h"

struct FixedPorts final : SerialPortLister {
  std::vector<std::string> ports;
  std::vector<std::string> serialPorts() const override { return ports; }
};
