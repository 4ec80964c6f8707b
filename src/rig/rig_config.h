#pragma once
// What the station needs to reach a rig through Hamlib: the rig model (Hamlib's number; 0 is
// no rig), where it is connected (a serial device, or host:port of a rigctld), the serial
// speed, and which line keys the transmitter.
#include <string>

// How a rig under rig control is keyed; the numbers are those of the settings file.
enum class RigPttType {
  cat = 0,    // a CAT command to the rig
  dtr = 1,    // the DTR line of the rig's CAT port (or of pttDevice)
  rts = 2,    // the RTS line of the rig's CAT port (or of pttDevice)
  cm108 = 3,  // the GPIO pin of a CM108 USB sound interface (pttDevice: /dev/hidraw*)
};
inline constexpr int kRigPttTypeCount = 4;

// Hamlib's own model numbers for the rigs every installation has.
inline constexpr int kNoRigModel = 0;
inline constexpr int kDummyRigModel = 1;    // a rig simulated in memory
inline constexpr int kNetworkRigModel = 2;  // a rigctld reached over the network

struct RigConfig {
  int model = kNoRigModel;
  std::string port;       // /dev/ttyUSB0, /dev/serial/by-id/..., or host:port for rigctld
  int speed = 0;          // serial speed in baud; 0: the rig's own default
  RigPttType pttType = RigPttType::cat;
  std::string pttDevice;  // the device of the PTT line when it is not the CAT port
  friend bool operator==(const RigConfig&, const RigConfig&) = default;
};
