// pelimo-cli devices: one heading, then one tab-separated line per sound input, sound output and
// serial port, with whatever the system reports cleaned of control characters.
#include "cli/devices_command.h"

#include <gtest/gtest.h>

#include "audio/serial_port_list.h"
#include "cli_test_support.h"
#include "support/fake_audio_backend.h"
#include "support/sound_library_leaks.h"

namespace {

using namespace cli_test;

struct FixedPorts final : SerialPortLister {
  std::vector<std::string> ports;
  std::vector<std::string> serialPorts() const override { return ports; }
};

}  // namespace

TEST(DevicesCommand, ListsInputsOutputsAndPortsOneLineEachWithControlCharactersCleaned) {
  FakeAudioBackend audio;
  audio.inputs = {{"alsa_input.usb-codec", "USB Audio CODEC Analog Stereo"}, {"hostile", "Bad\x1b[2Jname\tx"}};
  audio.outputs = {};
  FixedPorts ports;
  ports.ports = {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI"};
  std::ostringstream out;
  EXPECT_EQ(runDevices(audio, [] { return std::string("sound server test 1.0"); }, ports, out), 0);
  EXPECT_EQ(lines(out.str()), (std::vector<std::string>{"sound devices from: sound server test 1.0",
                                                        "input\talsa_input.usb-codec\tUSB Audio CODEC Analog Stereo",
                                                        "input\thostile\tBad\uFFFD[2Jname\uFFFDx",
                                                        "serial\t/dev/ttyUSB0", "serial\t/dev/serial/by-id/usb-FTDI"}));
}

// The whole command on this machine, with or without a sound server: never a failure.
TEST(DevicesCommand, RunsOnThisMachine) {
  std::ostringstream out, err;
  ASSERT_EQ(runCommandLine({"devices"}, out, err), 0) << err.str();
  EXPECT_EQ(out.str().rfind("sound devices from: ", 0), 0u) << out.str();
}
