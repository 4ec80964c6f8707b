// pelimo-cli receive --home: the whole receiving station over recordings, with its own settings
// and picture store.
#include <gtest/gtest.h>

#include <regex>

#include "cli_test_support.h"

namespace {

using namespace cli_test;

const std::string kSample = std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg";

TEST(CliStation, PicturesAreSavedAsTheStationSavesThemAndTextsArePrintedSafely) {
  TempDir dir;
  const std::string home = dir.file("home");
  fs::create_directories(home);
  ASSERT_EQ(runCli({"send", "--callsign", "QA1/BC", "--scale", "0.07", "--image", kSample, "-o",
                    dir.file("picture.wav")}).status, 0);
  ASSERT_EQ(runCli({"send", "--callsign", "QA1/BC", "--text", "hi \x1b[31mred", "-o",
                    dir.file("text.wav")}).status, 0);

  const CliRun picture = runCli({"receive", dir.file("picture.wav"), "--home", home});
  ASSERT_EQ(picture.status, 0) << picture.err;
  const std::vector<std::string> out = lines(picture.out);
  ASSERT_EQ(out.size(), 1u) << picture.out;  // no frame log without --json
  std::smatch m;
  ASSERT_TRUE(std::regex_match(out[0], m, std::regex(R"(picture from QA1/BC: 300 blocks good, 0 missing, saved (.*/AutoSave/\d{8}_\d{4}_QA1-BC\.jpg))")))
      << out[0];
  EXPECT_TRUE(fs::is_regular_file(m[1].str()));
  EXPECT_FALSE(fs::exists(home + "/pelimo.ini"));  // reading a recording changes no settings

  // With AutoSave off the picture is reported but not stored; a text is printed as the message
  // log shows it, with the escape made harmless.
  std::ofstream(home + "/pelimo.ini") << "[Set]\nAutoSave=0\n";
  const CliRun again = runCli({"receive", dir.file("picture.wav"), "--home", home});
  EXPECT_NE(again.out.find("300 blocks good, 0 missing, not saved: AutoSave is off"), std::string::npos)
      << again.out;
  const CliRun text = runCli({"receive", dir.file("text.wav"), "--home", home, "--json"});
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("QA1/BC>hi \xEF\xBF\xBD[31mred\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("\"kind\":0"), std::string::npos);  // --json keeps the frame log
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
  EXPECT_NE(text.out.find("no picture was received"), std::string::npos);

  EXPECT_EQ(runCli({"receive", dir.file("text.wav"), "--home", dir.file("absent")}).status, 1);
}

}  // namespace
