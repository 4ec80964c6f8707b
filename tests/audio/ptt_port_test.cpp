// Push-to-talk over a scripted serial port, and the termios backend on a pseudo-terminal.
#include "audio/ptt_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/serial_lines.h"

namespace {

class FakeSerialLines final : public SerialLines {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> existing{"/dev/ttyUSB0", "/dev/ttyS0"};
  bool busy = false;
  bool failConfigure = false;
  bool failAssert = false;
  bool isOpen = false;
  bool linesAsserted = false;
  std::string openPath;

  bool open(const std::string& path) override {
    calls.push_back("open " + path);
    if (isOpen) return false;  // exclusive
    if (busy || std::find(existing.begin(), existing.end(), path) == existing.end()) return false;
    isOpen = true;
    openPath = path;
    return true;
  }
  bool configure() override {
    calls.push_back("configure");
    return isOpen && !failConfigure;
  }
  bool assertLines() override {
    calls.push_back("assert");
    if (!isOpen || failAssert) return false;
    linesAsserted = true;
    return true;
  }
  bool releaseLines() override {
    calls.push_back("release");
    if (!isOpen) return false;
    linesAsserted = false;
    return true;
  }
  void close() override {
    calls.push_back("close");
    isOpen = false;
    linesAsserted = false;
  }
};

using Calls = std::vector<std::string>;

}  // namespace

TEST(PttPort, KeysAndReleasesInOrder) {
  FakeSerialLines lines;
  PttPort port(lines);
  EXPECT_TRUE(port.openPttPort("/dev/ttyUSB0"));
  EXPECT_TRUE(port.isOpen());
  EXPECT_TRUE(lines.linesAsserted);
  EXPECT_EQ(lines.calls, (Calls{"open /dev/ttyUSB0", "configure", "assert"}));

  lines.calls.clear();
  port.closePttPort();
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(lines.isOpen);
  EXPECT_EQ(lines.calls, (Calls{"release", "close"}));

  lines.calls.clear();
  port.closePttPort();  // nothing open: nothing touched
  EXPECT_TRUE(lines.calls.empty());
}

TEST(PttPort, EveryFailureIsSilentAndLeavesNothingOpen) {
  {
    FakeSerialLines lines;
    PttPort port(lines);
    EXPECT_FALSE(port.openPttPort(""));
    EXPECT_TRUE(lines.calls.empty());  // no port name: no port touched
    port.closePttPort();
    EXPECT_TRUE(lines.calls.empty());
  }
  {
    FakeSerialLines lines;
    PttPort port(lines);
    EXPECT_FALSE(port.openPttPort("/dev/ttyUSB7"));  // missing
    lines.busy = true;
    EXPECT_FALSE(port.openPttPort("/dev/ttyUSB0"));  // in use
    EXPECT_EQ(lines.calls, (Calls{"open /dev/ttyUSB7", "open /dev/ttyUSB0"}));
    lines.calls.clear();
    port.closePttPort();
    EXPECT_TRUE(lines.calls.empty());
  }
  for (bool configureFails : {true, false}) {
    // Opened, but a later step failed: closed again at once, the lines released.
    FakeSerialLines lines;
    lines.failConfigure = configureFails;
    lines.failAssert = !configureFails;
    PttPort port(lines);
    EXPECT_FALSE(port.openPttPort("/dev/ttyS0"));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(lines.isOpen);
    EXPECT_FALSE(lines.linesAsserted);
    EXPECT_EQ(lines.calls.back(), "close");
    // The port is free for the next transmission.
    lines.failConfigure = lines.failAssert = false;
    EXPECT_TRUE(port.openPttPort("/dev/ttyS0"));
  }
}

TEST(PttPort, OpeningWhileOpenKeepsThePortSoTheEndAlwaysReleasesIt) {
  FakeSerialLines lines;
  PttPort port(lines);
  ASSERT_TRUE(port.openPttPort("/dev/ttyUSB0"));
  // A second send command during the first transmission: still keyed, no second open.
  lines.calls.clear();
  EXPECT_TRUE(port.openPttPort("/dev/ttyUSB0"));
  EXPECT_TRUE(lines.calls.empty());
  EXPECT_TRUE(lines.linesAsserted);
  // The (single) end of the transmission releases the lines.
  port.closePttPort();
  EXPECT_FALSE(lines.linesAsserted);
  EXPECT_FALSE(lines.isOpen);

  // Another port name: the old port is released and closed before the new one opens.
  ASSERT_TRUE(port.openPttPort("/dev/ttyUSB0"));
  lines.calls.clear();
  EXPECT_TRUE(port.openPttPort("/dev/ttyS0"));
  EXPECT_EQ(lines.calls, (Calls{"release", "close", "open /dev/ttyS0", "configure", "assert"}));
  EXPECT_EQ(port.portName(), "/dev/ttyS0");
}

TEST(PttPort, DestructionReleasesTheLines) {
  FakeSerialLines lines;
  {
    PttPort port(lines);
    ASSERT_TRUE(port.openPttPort("/dev/ttyS0"));
  }
  EXPECT_FALSE(lines.linesAsserted);
  EXPECT_FALSE(lines.isOpen);
}

TEST(TermiosSerialLines, RefusesWhatIsNotAFreeTerminal) {
  TermiosSerialLines lines;
  EXPECT_FALSE(lines.open(""));
  EXPECT_FALSE(lines.open("/dev/pelimo-no-such-port"));
  EXPECT_FALSE(lines.configure());
  EXPECT_FALSE(lines.assertLines());
  EXPECT_FALSE(lines.releaseLines());
  lines.close();

  char path[] = "/tmp/pelimo_ptt_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_FALSE(lines.open(path));  // a plain file is no terminal
  std::remove(path);
}

TEST(TermiosSerialLines, PseudoTerminalOpensExclusivelyAndConfigures) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
    GTEST_SKIP() << "no pseudo-terminals here";
  const std::string slave = ptsname(master);

  {
    TermiosSerialLines first, second;
    ASSERT_TRUE(first.open(slave));
    EXPECT_TRUE(first.configure());
    EXPECT_FALSE(second.open(slave));  // exclusive while the first holds it
    first.close();
    EXPECT_TRUE(second.open(slave));
  }

  // A pseudo-terminal has no modem-control lines: keying fails, and the port is closed at
  // once so that it is free again.
  TermiosSerialLines lines;
  PttPort port(lines);
  EXPECT_FALSE(port.openPttPort(slave));
  EXPECT_FALSE(port.isOpen());
  TermiosSerialLines other;
  EXPECT_TRUE(other.open(slave));
  ::close(master);
}
