// What pelimo-cli says about files it cannot use: a message log it cannot write, a recording
// cut short, settings it cannot read for the rig, folders for simulate that are not there yet,
// and a standard output that is closed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <sstream>
#include <stdexcept>
#include <streambuf>

#include "cli/standard_streams.h"
#include "cli_test_support.h"

namespace {

using namespace cli_test;


TEST(CliRecords, LogsRecordingsAndSettingsThatCannotBeUsedAreSaidInOneLine) {
  TempDir dir;
  ASSERT_EQ(runCli({"send", "--callsign", "QA1BC", "--text", "first words", "-o", dir.file("text.wav")}).status, 0);

  // A new home: the text reaches messages.log with the folder made for it.
  const std::string home = dir.file("home");
  fs::create_directories(home);
  ASSERT_EQ(runCli({"receive", dir.file("text.wav"), "--home", home}).status, 0);
  EXPECT_NE(readText(home + "/messages.log").find("Z received: QA1BC>first words\n"), std::string::npos);
  // A message log that cannot be written fails the run, after the text was printed.
  fs::remove(home + "/messages.log");
  fs::create_directories(home + "/messages.log");
  const CliRun unwritable = runCli({"receive", dir.file("text.wav"), "--home", home});
  expectOneLineFailure(unwritable, "The message log file is not written");
  EXPECT_NE(unwritable.out.find("text: QA1BC>first words"), std::string::npos) << unwritable.out;

  // A recording cut short is read as far as it goes, with a note.
  const std::string whole = readText(dir.file("text.wav"));
  std::ofstream(dir.file("cut.wav"), std::ios::binary) << whole.substr(0, whole.size() * 2 / 3);
  const CliRun cut = runCli({"receive", dir.file("cut.wav")});
  EXPECT_EQ(cut.status, 0) << cut.err;
  EXPECT_NE(cut.err.find("is cut off"), std::string::npos) << cut.err;
  EXPECT_EQ(runCli({"receive", dir.file("text.wav")}).err, "");

  // The rig is never worked on settings other than the station's own.
  fs::create_directories(dir.file("rig/pelimo.ini"));
  expectOneLineFailure(runCli({"rig", "--home", dir.file("rig")}), "The settings file cannot be read");
}

TEST(CliRecords, SimulateMakesTheStationFoldersItIsGiven) {
  TempDir dir;
  const std::string a = dir.file("new/a"), b = dir.file("new/b");
  const CliRun run = runCli({"simulate", "--image", kSample, "--scale", "15", "--rounds", "0", "--home-a", a, "--home-b", b});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_regular_file(a + "/pelimo.ini"));
  EXPECT_TRUE(fs::is_directory(b + "/AutoSave"));
  std::ofstream(dir.file("plain")) << "x";
  expectOneLineFailure(runCli({"simulate", "--image", kSample, "--home-a", dir.file("plain/a"), "--home-b", b}),
                       "cannot be created");
}

// Standard output whose writes throw, as a failing allocation or library would.
template <class Failure>
struct ThrowingOutput final : std::streambuf {
  int_type overflow(int_type) override { throw Failure("the output broke"); }
};

// An exception that escapes a command reaches the program's main body, which says it in one line
// and fails.
TEST(CliRecords, AnExceptionEscapingACommandEndsItWithOneLine) {
  ThrowingOutput<std::runtime_error> broken;
  std::ostream out(&broken);
  out.exceptions(std::ios::badbit);
  std::ostringstream err;
  EXPECT_EQ(runCommandLine({"--help"}, out, err), 1);
  EXPECT_EQ(err.str(), "pelimo-cli: the output broke\n");

  struct OutOfMemory : std::bad_alloc {
    explicit OutOfMemory(const char*) {}
  };
  ThrowingOutput<OutOfMemory> full;
  std::ostream noMemory(&full);
  noMemory.exceptions(std::ios::badbit);
  std::ostringstream memoryErr;
  EXPECT_EQ(runCommandLine({"--help"}, noMemory, memoryErr), 1);
  EXPECT_EQ(memoryErr.str(), "pelimo-cli: out of memory: there is not enough memory to finish the command\n");
}

TEST(CliRecords, AClosedStandardOutputIsRefusedAndNeverLentToALibrary) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(STDOUT_FILENO);
    const bool ready = standardStreamsReady();
    // Standard output now holds /dev/null, so the next open gets another number.
    struct stat out {}, null {};
    const bool held = ::fstat(STDOUT_FILENO, &out) == 0 && ::stat("/dev/null", &null) == 0 &&
                      out.st_rdev == null.st_rdev;
    const int next = ::open("/dev/null", O_RDONLY);
    ::_exit(!ready && held && next > STDERR_FILENO ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(standardStreamsReady());  // this process has all three
}

}  // namespace
