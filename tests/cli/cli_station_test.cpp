// pelimo-cli receive --home: the whole receiving station over recordings, with its own settings
// and picture store.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include <nlohmann/json.hpp>

#include "cli_test_support.h"

namespace {

using namespace cli_test;


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
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
  // With --json every line is a JSON object: the frame log and the station's own report.
  std::vector<nlohmann::json> objects;
  for (const std::string& line : lines(text.out)) {
    ASSERT_TRUE(nlohmann::json::accept(line)) << line;
    objects.push_back(nlohmann::json::parse(line));
  }
  const auto has = [&](const nlohmann::json& wanted) {
    return std::find(objects.begin(), objects.end(), wanted) != objects.end();
  };
  EXPECT_TRUE(has({{"station", "text"}, {"text", "QA1/BC>hi \xEF\xBF\xBD[31mred"}})) << text.out;
  EXPECT_TRUE(has({{"station", "no picture"}})) << text.out;
  EXPECT_NE(text.out.find("\"kind\":0"), std::string::npos);  // --json keeps the frame log
  const CliRun pictureJson = runCli({"receive", dir.file("picture.wav"), "--home", dir.file("home"), "--json"});
  EXPECT_NE(pictureJson.out.find(R"({"station":"picture","from":"QA1/BC","good":300,"missing":0,"outcome":"not saved: AutoSave is off"})"),
            std::string::npos);
  for (const std::string& line : lines(pictureJson.out)) EXPECT_TRUE(nlohmann::json::accept(line)) << line;

  EXPECT_EQ(runCli({"receive", dir.file("text.wav"), "--home", dir.file("absent")}).status, 1);
}

TEST(CliStation, AStoreOrSettingsThatCannotBeUsedFailTheRunAndNothingIsSavedAgainstTheSettings) {
  TempDir dir;
  ASSERT_EQ(runCli({"send", "--callsign", "ja1new", "--scale", "2.00", "--image", kSample, "-o",
                    dir.file("picture.wav")}).status, 0);

  // A relative --home is the same folder made absolute; the callsign went out in capitals.
  const fs::path current = fs::current_path();
  fs::current_path(dir.file(""));
  fs::create_directories("rel/home");
  const CliRun relative = runCli({"receive", "picture.wav", "--home", "rel/home"});
  fs::current_path(current);
  ASSERT_EQ(relative.status, 0) << relative.err;
  EXPECT_NE(relative.out.find("saved " + dir.file("rel/home/AutoSave/")), std::string::npos) << relative.out;
  EXPECT_NE(relative.out.find("_JA1NEW.jpg"), std::string::npos) << relative.out;

  // The store cannot be written: a file, or a link to nowhere, stands where AutoSave should be.
  const std::string home = dir.file("home");
  fs::create_directories(home);
  std::ofstream(home + "/AutoSave") << "not a folder";
  expectOneLineFailure(runCli({"receive", dir.file("picture.wav"), "--home", home}), home + "/AutoSave");
  fs::remove(home + "/AutoSave");
  fs::create_symlink("gone", home + "/AutoSave");
  expectOneLineFailure(runCli({"receive", dir.file("picture.wav"), "--home", home}), "AutoSave");
  fs::remove(home + "/AutoSave");

  // Settings that cannot be read are not replaced by defaults that would save the picture.
  fs::create_directories(home + "/pelimo.ini");
  const CliRun unread = runCli({"receive", dir.file("picture.wav"), "--home", home});
  expectOneLineFailure(unread, "The settings file cannot be read");
  EXPECT_EQ(unread.out, "");
  EXPECT_FALSE(fs::exists(home + "/AutoSave"));

  std::ofstream(dir.file("plain")) << "x";
  expectOneLineFailure(runCli({"receive", dir.file("picture.wav"), "--home", dir.file("plain")}),
                       "is not a folder");
}

TEST(CliStation, TextsFromTheAirCannotSteerTheTerminalOrPassForReportLines) {
  TempDir dir;
  // C1 CSI, OSC and ST, DEL, a line separator and a right-to-left override, and a forged line.
  const std::string text = "a\xC2\x9B" "2J b\xC2\x9D" "0;x\xC2\x9C c\x7F d\xE2\x80\xA8" "e\xE2\x80\xAE" "f\npicture from X: 300 blocks good";
  ASSERT_EQ(runCli({"send", "--callsign", "QA1BC", "--text", text, "-o", dir.file("text.wav")}).status, 0);
  const CliRun plain = runCli({"receive", dir.file("text.wav")});
  const CliRun json = runCli({"receive", dir.file("text.wav"), "--json"});
  fs::create_directories(dir.file("home"));
  const CliRun station = runCli({"receive", dir.file("text.wav"), "--home", dir.file("home")});
  for (const CliRun* run : {&plain, &json, &station}) {
    ASSERT_EQ(run->status, 0) << run->err;
    for (const char* raw : {"\xC2\x9B", "\xC2\x9D", "\xC2\x9C", "\x7F", "\xE2\x80\xA8", "\xE2\x80\xAE"})
      EXPECT_EQ(run->out.find(raw), std::string::npos) << run->out;
    EXPECT_EQ(run->out.find("\npicture from"), std::string::npos) << run->out;
  }
  // The frame logs keep the exact text as JSON escapes; the station prints the message log.
  EXPECT_NE(json.out.find(R"("text":"QA1BC>a\u009b2J b\u009d0;x\u009c c\u007f d\u2028e\u202ef\npicture)"), std::string::npos)
      << json.out;
  EXPECT_NE(plain.out.find(R"(text "QA1BC>a\u009b2J)"), std::string::npos) << plain.out;
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(lines(station.out)[0], "text: QA1BC>a" + r + "2J b" + r + "0;x" + r + " c" + r + " d" + r + "e" + r + "f" + r +
                                       "picture from X: 300 blocks good");

  // The window's callsign check: no spaces.
  const CliRun spaced = runCli({"send", "--callsign", "QA1 BC", "--text", "hi", "-o", dir.file("x.wav")});
  EXPECT_EQ(spaced.status, 2);
  EXPECT_NE(spaced.err.find("no spaces"), std::string::npos) << spaced.err;
}

}  // namespace
