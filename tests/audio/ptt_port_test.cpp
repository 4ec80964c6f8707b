// Push-to-talk over a scripted serial port, the termios backend on a pseudo-terminal, and the
// release of a keyed port when the program is interrupted.
#include "audio/ptt_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/keyed_port_release.h"
#include "audio/serial_lines.h"
#include "support/fake_serial_lines.h"

namespace {

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
  EXPECT_NE(lines.failure().find("does not exist"), std::string::npos);
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
  // Nor is a device of another kind, which is never opened at all.
  for (const char* other : {"/dev/null", "/dev/zero", "/dev/tty"}) {
    EXPECT_FALSE(lines.open(other)) << other;
    EXPECT_NE(lines.failure().find("not a serial port"), std::string::npos) << other;
  }

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

namespace {

// A pseudo-terminal pair; skips the test where there are none.
struct PseudoTerminal {
  PseudoTerminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slave = ptsname(master);
  }
  ~PseudoTerminal() {
    if (master >= 0) ::close(master);
  }
  int master = -1;
  std::string slave;
};

int exclusiveMode(int fd) {
  int exclusive = -1;
  return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 ? exclusive : -1;
}

}  // namespace

TEST(TermiosSerialLines, ABusyPortIsLeftExactlyAsFoundAndAnOpenedOneHangsUpOnClose) {
  PseudoTerminal pty;
  if (pty.slave.empty()) GTEST_SKIP() << "no pseudo-terminals here";

  // Another program has the port open without any lock: it is not opened at all, so neither
  // its lines (opening raises them) nor its modes change.
  {
    const int user = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(user, 0);
    TermiosSerialLines lines;
    EXPECT_FALSE(lines.open(pty.slave));
    EXPECT_NE(lines.failure().find("in use by another program"), std::string::npos);
    EXPECT_EQ(exclusiveMode(user), 0);
    ::close(user);
  }

  // Another program holds the port's lock: the open fails and does not make it exclusive.
  const int holder = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  termios before{};
  ASSERT_EQ(::tcgetattr(holder, &before), 0);
  TermiosSerialLines lines;
  EXPECT_FALSE(lines.open(pty.slave));
  EXPECT_EQ(exclusiveMode(holder), 0);
  termios after{};
  ASSERT_EQ(::tcgetattr(holder, &after), 0);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  ::close(holder);

  // A free port: opened exclusively, and configured to drop DTR and RTS when the program's
  // last descriptor closes, whatever way the program ends.
  ASSERT_TRUE(lines.open(pty.slave));
  ASSERT_TRUE(lines.configure());
  const int probe = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (probe >= 0) {  // only a privileged user gets past the exclusive mode
    termios t{};
    ASSERT_EQ(::tcgetattr(probe, &t), 0);
    EXPECT_NE(t.c_cflag & HUPCL, 0u);
    EXPECT_EQ(exclusiveMode(probe), 1);
    ::close(probe);
  }
}

TEST(TermiosSerialLines, TheOpenedPortIsRawSoNothingFromTheRadioComesBack) {
  PseudoTerminal pty;
  if (pty.slave.empty()) GTEST_SKIP() << "no pseudo-terminals here";
  TermiosSerialLines lines;
  ASSERT_TRUE(lines.open(pty.slave));
  ASSERT_TRUE(lines.configure());
  // The radio's side of the line sends a few bytes, a carriage return among them.
  ASSERT_EQ(::write(pty.master, "AT\r\x03\x11", 5), 5);
  ::usleep(50 * 1000);
  const int flags = ::fcntl(pty.master, F_GETFL);
  ::fcntl(pty.master, F_SETFL, flags | O_NONBLOCK);
  char back[16];
  EXPECT_LE(::read(pty.master, back, sizeof back), 0);  // no echo, no CR turned into CRLF
}

TEST(KeyedPortRelease, OnlyTheRegisteredPortIsReleasedAndOnlyOnce) {
  EXPECT_FALSE(releaseKeyedPort());
  registerKeyedPort(41);
  unregisterKeyedPort(7);  // another port's release does not forget the keyed one
  EXPECT_TRUE(releaseKeyedPort());
  EXPECT_FALSE(releaseKeyedPort());
  registerKeyedPort(41);
  unregisterKeyedPort(41);
  EXPECT_FALSE(releaseKeyedPort());
}

TEST(KeyedPortReleaseDeathTest, InterruptedProgramsStillEndByTheirSignal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (int signalNumber : {SIGINT, SIGTERM, SIGPIPE, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
    EXPECT_EXIT(
        {
          installPttReleaseOnSignals();
          installPttReleaseOnSignals();  // a second call changes nothing
          struct sigaction installed {};
          sigaction(signalNumber, nullptr, &installed);
          if (installed.sa_handler == SIG_DFL) std::_Exit(3);  // nothing would release the port
          PseudoTerminal pty;
          const int port = pty.slave.empty() ? -1 : ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
          if (port >= 0) registerKeyedPort(port);
          raise(signalNumber);
          std::_Exit(0);  // not reached: the signal ends the program
        },
        testing::KilledBySignal(signalNumber), "");
  }
}
