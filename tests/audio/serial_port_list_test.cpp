#include "audio/serial_port_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A fake /dev and /sys in a temporary folder, removed at the end.
class FakeDeviceTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("pelimo_ports_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(dev() / "serial/by-id");
    fs::create_directories(sys() / "class/tty");
  }
  void TearDown() override { fs::remove_all(root); }

  fs::path dev() const { return root / "dev"; }
  fs::path sys() const { return root / "sys"; }
  void node(const std::string& name) { std::ofstream(dev() / name).put('x'); }
  // A FIFO blocks whoever opens it until the other end is opened too.
  void fifo(const std::string& name) { ASSERT_EQ(::mkfifo((dev() / name).c_str(), 0600), 0); }
  // The sysfs entry of a built-in port, bound to the named driver.
  void builtInPort(const std::string& name, const std::string& driver) {
    const fs::path device = sys() / "devices" / (name + "_device");
    fs::create_directories(device);
    fs::create_symlink("../../bus/drivers/" + driver, device / "driver");
    fs::create_directories(sys() / "class/tty" / name);
    fs::create_symlink(device, sys() / "class/tty" / name / "device");
  }
  std::string path(const std::string& name) const { return (dev() / name).string(); }

  fs::path root;
};

TEST_F(FakeDeviceTree, ListsRealPortsInAStableOrderWithoutOpeningAny) {
  node("ttyS0");   // a port on the board
  node("ttyS1");   // a slot the 8250 driver reserves without hardware
  node("ttyS2");   // no sysfs entry at all
  node("ttyS10");  // a port of another driver, sorted by number after ttyS0
  builtInPort("ttyS0", "serial");
  builtInPort("ttyS1", "serial8250");
  builtInPort("ttyS10", "dw-apb-uart");
  fifo("ttyUSB10");
  fifo("ttyUSB2");
  fifo("ttyACM0");
  node("ttySX");  // not a numbered port
  node("tty");
  node("ttyUSB");
  fs::create_directories(dev() / "ttyUSB7");  // a folder is never a port
  fs::create_symlink("../../ttyUSB2", dev() / "serial/by-id/usb-FTDI_FT232R-if00-port0");
  fs::create_symlink("../../ttyACM0", dev() / "serial/by-id/usb-Arduino_Uno-if00");
  fs::create_symlink("../../ttyUSB9", dev() / "serial/by-id/usb-gone-if00");  // dangling

  const DeviceTreeSerialPorts lister(dev().string(), sys().string());
  // Opening any of the FIFOs would block; the listing must finish at once.
  std::promise<std::vector<std::string>> listed;
  std::future<std::vector<std::string>> result = listed.get_future();
  std::thread worker([&] { listed.set_value(lister.serialPorts()); });
  if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "listing opened a port";
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0"}) {  // release the blocked open
      ::close(::open(path(name).c_str(), O_RDONLY | O_NONBLOCK));
      ::close(::open(path(name).c_str(), O_WRONLY | O_NONBLOCK));
    }
  }
  worker.join();
  const std::vector<std::string> expected = {
      path("ttyS0"),   path("ttyS10"), path("ttyUSB2"), path("ttyUSB10"), path("ttyACM0"),
      path("serial/by-id/usb-Arduino_Uno-if00"), path("serial/by-id/usb-FTDI_FT232R-if00-port0")};
  EXPECT_EQ(result.get(), expected);

  // The same tree gives the same list again.
  EXPECT_EQ(lister.serialPorts(), expected);
}

TEST_F(FakeDeviceTree, WithoutSysfsOnlyAddOnPortsAreListed) {
  node("ttyS0");  // without sysfs a built-in port cannot be told from a placeholder
  node("ttyACM3");
  EXPECT_EQ(DeviceTreeSerialPorts(dev().string(), (root / "none").string()).serialPorts(),
            std::vector<std::string>{path("ttyACM3")});
  EXPECT_TRUE(DeviceTreeSerialPorts((root / "none").string(), sys().string()).serialPorts().empty());
}

}  // namespace
