#pragma once
// Which serial ports the machine has, for the push-to-talk port list. Listing never opens a
// port: on Linux an open raises DTR and RTS and would key a connected radio.
#include <string>
#include <vector>

class SerialPortLister {
 public:
  virtual ~SerialPortLister() = default;
  // Full device paths in a stable order.
  virtual std::vector<std::string> serialPorts() const = 0;
};

// Reads the device folder and the kernel's sysfs tree only. The order is: /dev/ttyS<n> that are
// real ports, /dev/ttyUSB<n>, /dev/ttyACM<n> (each by ascending number), then the stable names
// in /dev/serial/by-id (by name). A ttyS node exists for every slot the 8250 driver reserves,
// hardware or not; it counts as real when sysfs shows a device bound to a driver other than the
// placeholder "serial8250". The roots are parameters so a test can use a fake tree.
class DeviceTreeSerialPorts final : public SerialPortLister {
 public:
  explicit DeviceTreeSerialPorts(std::string devRoot = "/dev", std::string sysRoot = "/sys");
  std::vector<std::string> serialPorts() const override;

 private:
  bool isRealBuiltInPort(const std::string& name) const;

  std::string devRoot_;
  std::string sysRoot_;
};

// The lister of this machine (/dev and /sys).
const SerialPortLister& systemSerialPorts();
