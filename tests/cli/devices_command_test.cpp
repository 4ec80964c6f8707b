// pelimo-cli devices: one heading, then one tab-separated line per sound input, sound output and
// serial port, with whatever the system reports cleaned of control characters.
#include "cli/devices_command.h"

#include <gtest/gtest.h>

#include "audio/serial_port_list.h"
#include "cli_test_support.h"
#include "support/fake_audio_backend.h"
#include "support/sound_library_leaks.h"
#include "support/test_audio_server.h"

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

// The whole command on this machine: the sound server's null sink when one runs, the sound
// system's own devices otherwise; never a failure.
TEST(DevicesCommand, RunsOnThisMachine) {
  std::ostringstream out, err;
  ASSERT_EQ(runCommandLine({"devices"}, out, err), 0) << err.str();
  const std::vector<std::string> printed = lines(out.str());
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(printed[0].rfind("sound devices from: ", 0), 0u) << printed[0];
  for (size_t i = 1; i < printed.size(); ++i)
    EXPECT_TRUE(printed[i].rfind("input\t", 0) == 0 || printed[i].rfind("output\t", 0) == 0 ||
                printed[i].rfind("serial\t", 0) == 0)
        << printed[i];
  if (testAudioServerMissing().empty()) {
    const std::string sink = runForOutput("pactl get-default-sink");
    EXPECT_NE(out.str().find("\noutput\t" + sink + "\t"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\ninput\t" + sink + ".monitor\t"), std::string::npos) << out.str();
  }
}
