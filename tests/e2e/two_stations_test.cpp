// Two whole stations started from their own folders on simulated air, run through pelimo-cli's
// simulate command: a picture through noise, the block re-send rounds until it is whole, a text,
// and both settings files written at the close.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main_window.h"
#include "app/settings_file.h"
#include "cli/command_line.h"
#include "cli/simulate_command.h"
#include "support/temp_folder.h"
#include "support/sample_picture.h"

namespace {

namespace fs = std::filesystem;


// What the stations' controls showed at each step of the run.
struct ControlWatch final : SimulationWatcher {
  void atStep(SimulationStep step, int round, const MainWindow& a, const MainWindow& b) override {
    switch (step) {
      case SimulationStep::imageReceived:
      case SimulationStep::bsrAnswered:
        sendBsrCaptions.push_back(b.sendBsrButton.caption);
        break;
      case SimulationStep::bsrRequested:
        respBsrCaptions.push_back(a.respBsrButton.caption);
        break;
      case SimulationStep::textReceived:
        lastLogLine = b.messageLog.lines.empty() ? "" : b.messageLog.lines.back();
        pictureAsSent = b.rxPicture == a.txPreviewPicture;
        break;
    }
  }
  std::vector<std::string> sendBsrCaptions, respBsrCaptions;
  std::string lastLogLine;
  bool pictureAsSent = false;
};

// 8 December 2026, 10:00:50 UTC: ten seconds before a minute turns.
constexpr int64_t kFixedClockStart = 1'796'724'050;

std::string bsrCaption(const char* verb, int count) {
  return std::string(verb) + " " + std::to_string(count) + " BSR";
}

TEST(TwoStations, NoisyPictureIsCompletedByBsrRoundsThenATextAndBothSettingsAreWritten) {
  TempFolder homeA, homeB;
  Settings own;
  own.callsign = "JA1ABC";  // A's folder has its callsign; B's folder is empty
  ASSERT_TRUE(saveSettings(homeA.file("pelimo.ini"), own));

  SimulateOptions o;
  o.imagePath = kSample;
  o.scaleIndex = 7;  // 0.50
  o.air.snrDb = 5;
  o.seed = 2;
  o.text = "ur pic 5/9";
  o.homeA = homeA.path().string();
  o.homeB = homeB.path().string();
  // A fixed clock: where the minutes turn decides which saves share a name, so the run must
  // not depend on the time of day it starts at.
  o.wallClockStart = kFixedClockStart;
  ControlWatch watch;
  std::ostringstream out, err;
  ASSERT_EQ(runSimulate(o, out, err, &watch), 0) << err.str();
  EXPECT_EQ(err.str(), "");

  std::string last, line;
  for (std::istringstream lines(out.str()); std::getline(lines, line);) last = line;
  const nlohmann::json summary = nlohmann::json::parse(last);
  const int afterImage = summary["blocksAfterImage"];
  const std::vector<int> afterBsr = summary["blocksAfterBsr"];
  const std::vector<std::string> saved = summary["savedFiles"];
  ASSERT_GT(afterImage, 0);
  ASSERT_LT(afterImage, 300) << "the noise is meant to cost some blocks";
  ASSERT_FALSE(afterBsr.empty());
  EXPECT_EQ(summary["missing"], 0);
  EXPECT_EQ(afterBsr.back(), 300);
  EXPECT_EQ(summary["completeAfterRound"], afterBsr.size());
  EXPECT_LT(summary["completeAtAirSeconds"].get<double>(), summary["airSeconds"].get<double>());
  EXPECT_GT(summary["airSeconds"].get<double>(), 60);

  // B offered exactly the blocks it lacked, A offered back exactly what B asked for.
  ASSERT_EQ(watch.sendBsrCaptions.size(), afterBsr.size() + 1);
  ASSERT_EQ(watch.respBsrCaptions.size(), afterBsr.size());
  EXPECT_EQ(watch.sendBsrCaptions[0], bsrCaption("Send", 300 - afterImage));
  for (size_t r = 0; r < afterBsr.size(); ++r) {
    EXPECT_EQ(watch.respBsrCaptions[r], bsrCaption("Resp", 300 - (r ? afterBsr[r - 1] : afterImage)));
    EXPECT_EQ(watch.sendBsrCaptions[r + 1], afterBsr[r] == 300 ? "Send BSR" : bsrCaption("Send", 300 - afterBsr[r]));
  }
  EXPECT_TRUE(watch.pictureAsSent);
  EXPECT_EQ(watch.lastLogLine, "JA1ABC>ur pic 5/9");
  EXPECT_EQ(summary["textReceived"], "JA1ABC>ur pic 5/9");

  // Every save is listed; with DelImgBSR on only the completed picture is left in the store,
  // with its record (the earlier saves' records went with them) and latest.jpg, its copy.
  ASSERT_GE(saved.size(), 2u);
  std::vector<fs::path> stored;
  for (const auto& entry : fs::directory_iterator(homeB.path() / "AutoSave")) stored.push_back(entry.path());
  const fs::path kept = saved.back();
  const fs::path record = fs::path(kept).replace_extension(".json");
  const fs::path latest = kept.parent_path() / "latest.jpg";
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (std::vector<fs::path>{kept, record, latest}));
  EXPECT_NE(saved.front().find("_JA1ABC.jpg"), std::string::npos);
  const auto bytes = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(bytes(latest), bytes(kept));
  const nlohmann::json fields = nlohmann::json::parse(bytes(record));
  EXPECT_EQ(fields["callsign"], "JA1ABC");
  EXPECT_EQ(fields["blocks"], 300);
  EXPECT_EQ(fields["scale"], 0.5);
  EXPECT_TRUE(fields["snrDb"].is_number());
  EXPECT_EQ(fields["utc"].get<std::string>().substr(0, 11), "2026-12-08T");

  // Both stations closed and wrote their settings: callsigns, and A's choices at the close.
  const Settings a = loadSettings(homeA.file("pelimo.ini"));
  const Settings b = loadSettings(homeB.file("pelimo.ini"));
  EXPECT_EQ(a.callsign, "JA1ABC");
  EXPECT_EQ(b.callsign, kDefaultCallsignB);
  EXPECT_EQ(a.scaleIndex, 7);
  EXPECT_EQ(a.imageFile, kSample);

  // The same run from the command line in temporary folders: the seed repeats it exactly, and
  // the folders are gone afterwards.
  std::ostringstream again, againErr;
  ASSERT_EQ(runCommandLine({"simulate", "--image", kSample, "--scale", "0.50", "--snr", "5", "--seed", "2",
                            "--callsign-a", "JA1ABC", "--text", "ur pic 5/9"},
                           again, againErr),
            0)
      << againErr.str();
  const std::string text = again.str();
  const nlohmann::json repeated = nlohmann::json::parse(text.substr(text.rfind('\n', text.size() - 2) + 1));
  for (const char* field : {"blocksAfterImage", "blocksAfterBsr", "missing", "airSeconds", "textReceived",
                            "completeAtAirSeconds", "blocksMadeWholeByCombining"})
    EXPECT_EQ(repeated[field], summary[field]) << field;
  EXPECT_FALSE(fs::exists(fs::path(repeated["savedFiles"].back().get<std::string>()).parent_path().parent_path()));
}

TEST(TwoStations, RefusedRunsSayWhyInOneLineAndTouchNoFolder) {
  TempFolder homeA, homeB;
  const std::string a = homeA.path().string(), b = homeB.path().string();
  const std::vector<std::vector<std::string>> refused = {
      {"simulate", "--image", a + "/missing.jpg", "--home-a", a, "--home-b", b},
      {"simulate", "--image", kSample, "--home-a", a, "--home-b", a + "/."},
      {"simulate", "--image", kSample, "--home-a", "/proc/pelimo-none", "--home-b", b},
      {"simulate", "--image", kSample, "--home-a", a, "--home-b", b, "--text", ""},
      {"simulate", "--image", kSample, "--home-a", a, "--home-b", b, "--callsign-b", "A>B"},
      {"simulate", "--image", kSample, "--home-a", a, "--home-b", b, "--snr", "nan"},
  };
  for (const auto& args : refused) {
    std::ostringstream out, err;
    EXPECT_NE(runCommandLine(args, out, err), 0) << args[2] << " " << args.back();
    EXPECT_EQ(out.str(), "");
    const std::string message = err.str();
    EXPECT_EQ(message.rfind("pelimo-cli: ", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  }
  EXPECT_TRUE(fs::is_empty(homeA.path()));
  EXPECT_TRUE(fs::is_empty(homeB.path()));
}

TEST(TwoStations, PicturesOrSettingsThatCannotBeWrittenFailTheRunInOneLine) {
  TempFolder homeA, homeB;
  SimulateOptions o;
  o.imagePath = kSample;
  o.scaleIndex = 15;
  o.rounds = 0;
  o.homeA = homeA.path().string();
  o.homeB = homeB.path().string();
  o.wallClockStart = kFixedClockStart;
  std::ofstream(homeB.file("AutoSave")) << "not a folder";
  std::ostringstream out, err;
  EXPECT_EQ(runSimulate(o, out, err), 1);
  const std::string message = err.str();
  EXPECT_EQ(message.rfind("pelimo-cli: station B: ", 0), 0u) << message;
  EXPECT_NE(message.find("AutoSave"), std::string::npos) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  EXPECT_EQ(out.str().find("settings written"), std::string::npos) << out.str();

  // A settings file that cannot be read is refused before anything runs or is written.
  fs::remove(homeB.file("AutoSave"));
  fs::remove(homeB.file("pelimo.ini"));  // written with B's callsign at the start
  fs::create_directory(homeB.file("pelimo.ini"));
  std::ostringstream out2, err2;
  EXPECT_EQ(runSimulate(o, out2, err2), 1);
  EXPECT_NE(err2.str().find("The settings file cannot be read"), std::string::npos) << err2.str();
  EXPECT_EQ(out2.str(), "");
  EXPECT_TRUE(fs::is_directory(homeB.file("pelimo.ini")));
}

// The channels the options make: A's signal reaches B impaired; B's returns clean of noise with
// the mirrored offsets, so that A's clock seen from B and B's seen from A agree.
TEST(TwoStations, TheReturnChannelMirrorsTheOffsetsWithoutNoise) {
  AirOptions air;
  air.snrDb = 9;
  air.frequencyOffsetHz = 25;
  air.clockOffsetPpm = 200;
  const ChannelModel toB = channelToB(air), toA = channelToA(air);
  EXPECT_EQ(toB.snrDb, 9.0);
  EXPECT_EQ(toB.frequencyOffsetHz, 25);
  EXPECT_EQ(toB.clockOffsetPpm, 200);
  EXPECT_FALSE(toA.snrDb);
  EXPECT_EQ(toA.frequencyOffsetHz, -25);
  EXPECT_NEAR((1 + toA.clockOffsetPpm * 1e-6) * (1 + toB.clockOffsetPpm * 1e-6), 1.0, 1e-12);
}

}  // namespace
