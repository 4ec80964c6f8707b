// pelimo-cli rig: the rig of the home folder's settings, overridden by the options, on Hamlib's
// simulated rig; its refusals and usage errors.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/cli_test_support.h"

using namespace cli_test;

TEST(CliRig, PrintsTheRigAndKeysItForASecondWithTest) {
  TempDir home;
  std::ofstream(home.file("pelimo.ini")) << "[Rig]\nRigModel=1\n";
  const CliRun shown = runCli({"rig", "--home", home.file("")});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(lines(shown.out), (std::vector<std::string>{"rig: Hamlib Dummy (model 1)",
                                                        "frequency: 145.000000 MHz (2m)", "ptt: off"}));
  const CliRun tested = runCli({"rig", "--home", home.file(""), "--ptt", "cat", "--test"});
  EXPECT_EQ(tested.status, 0) << tested.err;
  const std::vector<std::string> out = lines(tested.out);
  ASSERT_EQ(out.size(), 6u) << tested.out;
  EXPECT_EQ(out[3], "test: keying for one second");
  EXPECT_EQ(out[4], "keyed: ptt on");
  EXPECT_EQ(out[5], "released: ptt off");

  // The options override the settings: a rigctld that is not there is one line and status 1.
  const CliRun absent = runCli({"rig", "--home", home.file(""), "--model", "2", "--port", "127.0.0.1:1"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.err.rfind("pelimo-cli: Can not open the rig on 127.0.0.1:1", 0), 0u) << absent.err;
  EXPECT_EQ(lines(absent.err).size(), 1u);
  EXPECT_TRUE(absent.out.empty());
}

TEST(CliRig, RefusesWithoutARigAndOnBadOptions) {
  TempDir home;
  const CliRun none = runCli({"rig", "--home", home.file("")});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "pelimo-cli: no rig is set: give --model, or choose a rig in the settings\n");
  EXPECT_EQ(runCli({"rig", "--home", home.file("missing")}).status, 1);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"rig", "--ptt", "vox"}, {"rig", "--model", "0"},
        {"rig", "--speed", "-5"}, {"rig", "--model", "x"}, {"rig", "extra"}}) {
    const CliRun run = runCli(args);
    EXPECT_EQ(run.status, 2) << args[1];
    EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
  }
}
