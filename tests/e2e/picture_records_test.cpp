// Stored pictures and what goes with them, on a station receiving over simulated air: the
// record beside each picture, the numbered name of a second picture in the same minute (with
// its own record), latest.jpg as the copy of the last picture, and the age-based deletion
// taking exactly the pictures and their records.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "e2e/station_link.h"
#include "library/picture_record.h"
#include "rig/rig_control.h"
#include "support/file_text.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

}  // namespace

TEST(PictureRecords, EachStoredPictureHasItsRecordLatestIsACopyAndOldOnesGoWithTheirRecords) {
  ChannelModel channel;
  channel.snrDb = 20;
  StationLink link(channel, 5);
  MainWindow& b = *link.b;
  TempFolder data;
  b.dataFolder = data.path().string();
  const fs::path store = data.path() / "AutoSave";
  link.platformB.now = {2026, 12, 8, 14, 30, 5};
  link.platformB.seconds = 1'796'740'205;  // 2026-12-08 14:30:05 UTC

  link.sendClipboardPicture(15);
  link.runTransmission();
  const std::string first = "20261208_1430_JA1ABC";
  ASSERT_EQ(b.lastSavedPath, (store / (first + ".jpg")).string()) << b.lastSaveOutcome;
  const nlohmann::json record = nlohmann::json::parse(fileText((store / (first + ".json")).string()));
  EXPECT_EQ(record["callsign"], "JA1ABC");
  EXPECT_EQ(record["utc"], "2026-12-08T14:30:05Z");
  EXPECT_EQ(record["blocks"], 300);
  ASSERT_TRUE(record["snrDb"].is_number());
  EXPECT_NEAR(record["snrDb"].get<double>(), *b.receivedPictureSnrDb(), 0.05);
  EXPECT_EQ(record["mode"], "MSK");
  EXPECT_EQ(record["code"], "Normal (Non)");
  EXPECT_EQ(record["scale"], 2.0);
  EXPECT_TRUE(record["frequencyHz"].is_null());  // no rig
  EXPECT_EQ(record["receiver"], "coherent");
  EXPECT_EQ(fileText((store / "latest.jpg").string()), fileText(b.lastSavedPath));

  // A second picture within the minute, 4L-FSK and coded, with the rig on 145 MHz: a numbered
  // name, its own record, and latest.jpg follows it.
  b.settings.rigModel = kDummyRigModel;
  b.applyRigSettings();
  ASSERT_TRUE(b.rig().waitForWorker(5s));
  link.a->modeCombo.index = 1;
  link.a->modeChanged();
  link.a->codeCombo.index = 1;
  link.a->codeChanged();
  link.platformB.seconds += 40;
  link.sendClipboardPicture(14);
  link.runTransmission();
  const std::string second = first + "~2";
  ASSERT_EQ(b.lastSavedPath, (store / (second + ".jpg")).string()) << b.lastSaveOutcome;
  const std::optional<PictureRecord> again = readPictureRecord((store / (second + ".json")).string());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->mode, "4L-FSK");
  EXPECT_EQ(again->code, "Convolution");
  EXPECT_DOUBLE_EQ(again->scale, 1.8);
  EXPECT_EQ(again->frequencyHz, 145'000'000.0);
  EXPECT_EQ(again->utc, "2026-12-08T14:30:45Z");
  EXPECT_EQ(fileText((store / "latest.jpg").string()), fileText(b.lastSavedPath));
  EXPECT_EQ(readPictureRecord((store / (first + ".json")).string())->mode, "MSK");  // untouched
  EXPECT_TRUE(link.platformB.messages.empty());

  // The operator's own files in the folder, and a record whose picture is gone.
  for (const char* own : {"holiday.json", "notes.json", "20261101_0900_QA1X.json"})
    std::ofstream(store / own) << R"({"utc":"2026-11-01T09:00:00Z","blocks":3})";
  fs::copy_file(store / "latest.jpg", store / "holiday.jpg");
  // Half a year on, "Delete old image" takes the two pictures and their two records only;
  // latest.jpg is never a station picture, neither for the LOG tab.
  link.platformB.now = {2027, 6, 8, 14, 30, 0};
  b.settings.deleteAfterDays = 120;
  b.deleteOldImages();
  EXPECT_EQ(namesIn(store), (std::set<std::string>{"holiday.jpg", "holiday.json", "latest.jpg", "notes.json",
                                                    "20261101_0900_QA1X.json"}));
  b.pictureTabs.index = 2;
  b.pictureTabChanged();
  EXPECT_EQ(b.storedImageFile, "holiday.jpg");
  b.nextImageClicked();
  EXPECT_EQ(b.storedImageFile, "holiday.jpg");
  // "Delete" of a picture not named by the station leaves the .json of the same name alone.
  b.deleteImageClicked();
  EXPECT_EQ(namesIn(store), (std::set<std::string>{"holiday.json", "latest.jpg", "notes.json",
                                                    "20261101_0900_QA1X.json"}));
}
