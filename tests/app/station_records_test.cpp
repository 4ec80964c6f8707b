// What the station keeps beside the specified behaviour: the ADIF contact log and the Wayland
// note of "Log out", the message log with UTC times and its file, the pictures chosen from a
// file chooser or sent lately (PNG and .jpeg names too), and the progress of a transmission.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "imaging/jpeg_file.h"
#include "rx/block_lists.h"
#include "support/fake_platform.h"
#include "support/file_text.h"
#include "support/temp_folder.h"
#include "support/textured_picture.h"

namespace {

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class StationRecords : public testing::Test {
 protected:
  StationRecords() : form(platform) {
    form.dataFolder = home.path().string();
    form.settings.callsign = "DL2XYZ";
    platform.seconds = 1'710'463'327;  // 2024-03-15 00:42:07 UTC
    platform.now = {2024, 3, 15, 9, 42, 7};
  }
  std::string lastBox() const { return platform.messages.empty() ? "" : platform.messages.back().text; }

  TempFolder home;
  FakePlatform platform;
  MainWindow form;
};

TEST_F(StationRecords, LogOutAddsEachContactOnceToTheAdifLog) {
  form.pictureTabs.index = 1;
  form.state.remoteCallsign = "qa1bcd";
  form.settings.logBand = "20";
  form.logOutClicked();
  platform.seconds += 7;  // a second press for the same contact adds nothing, even later
  form.logOutClicked();
  EXPECT_EQ(platform.clipboardTextValue, "qa1bcd,24/03/15,09:42,15dB,MSK/NORM,20");
  const std::string adif = fileText(form.contactLogPath());
  EXPECT_EQ(count(adif, "<EOH>"), 1u);
  EXPECT_EQ(count(adif, "<EOR>"), 1u);
  EXPECT_NE(adif.find("<CALL:6>QA1BCD <QSO_DATE:8>20240315 <TIME_ON:6>004207 <BAND:3>20m <MODE:4>MFSK "
                      "<RST_SENT:4>15dB <COMMENT:15>Pelimo MSK/NORM <EOR>"),
            std::string::npos)
      << adif;
  EXPECT_EQ(form.messageLog.lines.back(), "Contact with QA1BCD added to " + form.contactLogPath());

  // The LOG tab takes the contact's time from the picture's name, saved in local time (here nine
  // hours ahead of UTC), and the fixed band: the rig's frequency now says nothing of it.
  const char* oldZone = getenv("TZ");
  const std::string savedZone = oldZone ? oldZone : "";
  setenv("TZ", "JST-9", 1);
  tzset();
  form.pictureTabs.index = 2;
  form.storedImageName = "20240316_0815_JA1ABC";
  form.logOutClicked();
  oldZone ? setenv("TZ", savedZone.c_str(), 1) : unsetenv("TZ");
  tzset();
  EXPECT_NE(fileText(form.contactLogPath())
                .find("<CALL:6>JA1ABC <QSO_DATE:8>20240315 <TIME_ON:6>231500 <BAND:3>20m <MODE:4>MFSK"),
            std::string::npos)
      << fileText(form.contactLogPath());

  // A numbered save logs the callsign of its reception, not the name's "~2".
  form.storedImageName = "20240316_0815_JA1ABC~2";
  form.logOutClicked();
  EXPECT_NE(fileText(form.contactLogPath()).find("<CALL:6>JA1ABC <QSO_DATE:8>20240316"), std::string::npos)
      << fileText(form.contactLogPath());

  // A picture saved without a callsign: the line as specified, no record, no extra box.
  form.storedImageName = "20240316_0815_";
  form.logOutClicked();
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(count(fileText(form.contactLogPath()), "<EOR>"), 3u);
  EXPECT_EQ(form.messageLog.lines.back(), "No callsign, so the contact is not in the contact log");

  // A file of that name that is not a contact log is left as it was; the line still goes out.
  std::ofstream(form.contactLogPath(), std::ios::trunc) << "my notes\n";
  form.storedImageName = "20240316_0816_JA1ABC";
  platform.messages.clear();
  form.logOutClicked();
  EXPECT_EQ(fileText(form.contactLogPath()), "my notes\n");
  EXPECT_EQ(lastBox(), "The file is not an ADIF contact log; nothing was added to it: " + form.contactLogPath());
  EXPECT_EQ(platform.clipboardTextValue, "JA1ABC,24/03/16,08:16,15dB,MSK/NORM,20");
}

TEST_F(StationRecords, OnWaylandTheLineWaitsOnTheClipboardAndTheOperatorIsToldSo) {
  platform.keysReach = false;
  form.pictureTabs.index = 1;
  form.state.remoteCallsign = "QA1BCD";
  form.settings.imageEditorName = "Logger";
  form.logOutClicked();
  EXPECT_TRUE(platform.f8Targets.empty());
  EXPECT_EQ(platform.clipboardTextValue, "QA1BCD,24/03/15,09:42,15dB,MSK/NORM,40");
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(lastBox(),
            "The log line is on the clipboard and the contact is in the ADIF log; in a Wayland "
            "session no key can reach \"Logger\", paste it there.");
  EXPECT_EQ(lastBox().find('\n'), std::string::npos);
}

TEST_F(StationRecords, MessageLinesCarryTheirTimeAndOutliveAClearedLog) {
  form.textEdit.text = "ur pic 5/9";
  form.sendTextClicked();
  form.state.decodedCallsign = "QA1\x1b[2JBCD";
  form.state.missingBlockCount = 10;
  form.saveReceivedImage();
  ASSERT_EQ(form.messageLog.lines.size(), 2u);  // the start-up lines went first
  EXPECT_EQ(form.messageLog.lines[0], "DL2XYZ>ur pic 5/9");
  EXPECT_EQ(form.messageLog.lines[1], "Picture from QA1\xEF\xBF\xBD[2JBCD stored as " + form.lastSavedPath);
  EXPECT_EQ(form.messageLog.stamps, (std::vector<std::string>{"00:42Z", "00:42Z"}));

  form.messageLogDoubleClicked();
  EXPECT_TRUE(form.messageLog.lines.empty());
  EXPECT_TRUE(form.messageLog.stamps.empty());
  EXPECT_EQ(fileText(form.messageLogPath()),
            "2024-03-15 00:42:07Z DL2XYZ>ur pic 5/9\n"
            "2024-03-15 00:42:07Z Picture from QA1\xEF\xBF\xBD[2JBCD stored as " + form.lastSavedPath + "\n");

  // A received text is marked in the file, so it cannot pass for a line of the station's own;
  // a line the station notes without the file (a device problem) carries its time too.
  platform.seconds += 60;
  form.addMessageLogLine("Picture from JA1XYZ stored as /x.jpg", MessageLogSource::air);
  form.notify("The play device stopped", false);
  EXPECT_EQ(form.messageLog.stamps, (std::vector<std::string>{"00:43Z", "00:43Z"}));
  EXPECT_NE(fileText(form.messageLogPath()).find("\n2024-03-15 00:43:07Z received: Picture from JA1XYZ"),
            std::string::npos);

  // A log file that cannot be written is said once, in the message log only (never a box, which
  // would stop the receive step), and the station goes on.
  std::filesystem::remove(form.messageLogPath());
  std::filesystem::create_directory(form.messageLogPath());
  platform.messages.clear();
  form.addMessageLogLine("one");
  form.addMessageLogLine("two");
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(form.messageLog.lines.size(), 5u);
  EXPECT_EQ(form.messageLog.lines[3].rfind("The message log file is not written: ", 0), 0u);
  EXPECT_EQ(form.messageLog.lines.back(), "two");
  EXPECT_EQ(form.lastFileProblem, form.messageLog.lines[3]);
}

TEST_F(StationRecords, PicturesComeFromTheChooserOrTheRecentListInEveryUsualFormat) {
  const Picture source = texturedPicture();
  const std::string png = home.file("fox.PNG"), jpeg = home.file("fox.jpeg"), jfif = home.file("fox.jfif");
  ASSERT_TRUE(writeJpegFile(jpeg, source));
  ASSERT_TRUE(writeJpegFile(jfif, source));
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = source.width();
  image.height = source.height();
  image.format = PNG_FORMAT_BGR;
  ASSERT_TRUE(png_image_write_to_file(&image, png.c_str(), 0, source.bytes().data(), 0, nullptr));

  platform.chosenPicture = png;
  ASSERT_TRUE(form.openPictureClicked());
  EXPECT_EQ(platform.chooserFolders.back(), form.dataFolder);
  EXPECT_EQ(form.state.txImagePath, png);
  EXPECT_GT(form.state.txCodedBits, 0);
  EXPECT_TRUE(form.recentPictures().empty());  // only pictures sent are remembered

  for (const std::string& path : {jfif, jpeg, png}) {
    ASSERT_TRUE(form.loadTransmitImage(path)) << path;
    form.sendImageButton.down = true;
    form.sendImageClicked();
    ASSERT_TRUE(form.state.txInProgress);
    for (int i = 0; i < 2000 && form.state.txInProgress; ++i) form.transmitStep();
  }
  EXPECT_EQ(form.recentPictures(), (std::vector<std::string>{png, jpeg, jfif}));
  platform.chosenPicture.reset();
  EXPECT_FALSE(form.openPictureClicked());
  EXPECT_EQ(platform.chooserFolders.back(), home.path().string());

  ASSERT_TRUE(form.openRecentPicture(2));
  EXPECT_EQ(form.state.txImagePath, jfif);
  EXPECT_FALSE(form.openRecentPicture(3));
  for (int i = 0; i < 7; ++i) form.rememberRecentPicture("/p/" + std::to_string(i) + ".bmp");
  form.rememberRecentPicture("/p/4.bmp");
  EXPECT_EQ(form.recentPictures(),
            (std::vector<std::string>{"/p/4.bmp", "/p/6.bmp", "/p/5.bmp", "/p/3.bmp", "/p/2.bmp"}));
}

TEST_F(StationRecords, ProgressFollowsTheSequencerFromFirstBlockToTheEnd) {
  platform.clipboard = texturedPicture();
  form.scaleCombo.index = 15;
  form.fromClipboardClicked();  // "From Clipboard": coded once, the estimate known
  EXPECT_FALSE(form.transferProgress().visible);
  form.sendImageButton.down = true;
  form.sendImageClicked();
  std::vector<ProgressLine> seen;
  for (int i = 0; i < 2000 && form.state.txInProgress; ++i) {
    seen.push_back(form.transferProgress());
    form.transmitStep();
  }
  ASSERT_FALSE(form.state.txInProgress);
  EXPECT_FALSE(form.transferProgress().visible);
  ASSERT_GT(seen.size(), 10u);
  EXPECT_EQ(seen.front().value, 0);
  const double total = form.estimatedTransmitSeconds();
  EXPECT_GT(total, 20.0);
  int last = 0;
  for (const ProgressLine& p : seen) {
    ASSERT_TRUE(p.visible);
    EXPECT_EQ(p.maximum, 300);
    EXPECT_GE(p.value, last);
    last = p.value;
  }
  EXPECT_EQ(seen.back().value, 300);
  EXPECT_TRUE(seen.back().text.starts_with("TX 300/300 blocks, 0'0")) << seen.back().text;
  // Halfway through, about half the estimate is left.
  const ProgressLine& middle = *std::find_if(seen.begin(), seen.end(), [](auto& p) { return p.value >= 150; });
  int minutes = 0, seconds = 0;
  ASSERT_EQ(std::sscanf(middle.text.c_str(), "TX %*d/300 blocks, %d'%d''", &minutes, &seconds), 2) << middle.text;
  EXPECT_NEAR(minutes * 60 + seconds, total / 2, 4.0) << middle.text;

  // While a picture arrives: the blocks held of 300.
  form.startImageReception();
  form.state.receivedBlockMap[3 * kBlockMapSide + 2] = 1;
  form.state.receivedBlockMap[19 * kBlockMapSide + 14] = 1;
  EXPECT_EQ(form.transferProgress(), (ProgressLine{true, 2, 300, "RX 2/300 blocks held"}));
}

// The time left shown while a picture or a BSR answer is on the air is the air time it then
// still takes, at the start and halfway.
TEST_F(StationRecords, TheTimeLeftShownIsTheAirTimeStillToCome) {
  platform.clipboard = texturedPicture();
  form.scaleCombo.index = 15;
  form.fromClipboardClicked();
  const auto expectTimeLeftIsAirTime = [&](const char* what) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(form.state.txInProgress);
    std::vector<std::string> shown;
    while (form.state.txInProgress && shown.size() < 4000) {
      shown.push_back(form.transferProgress().text);
      form.transmitStep();
    }
    // Every buffer is a quarter second of air; the three primed ones play ahead of the steps.
    // Halfway the blocks still to send are not of the mean size the reckoning takes.
    for (size_t at : {size_t{0}, shown.size() / 2}) {
      int minutes = 0, seconds = 0;
      ASSERT_EQ(std::sscanf(shown[at].c_str(), "TX %*d/%*d blocks, %d'%d''", &minutes, &seconds), 2) << shown[at];
      const double air = (shown.size() - at + 3) * 0.25;
      EXPECT_NEAR(minutes * 60 + seconds, air, 1.0 + (at == 0 ? 0.03 : 0.1) * air) << shown[at];
    }
  };
  form.sendImageButton.down = true;
  form.sendImageClicked();
  expectTimeLeftIsAirTime("picture");
  for (int count : {40, 7}) {
    for (int i = 0; i < count; ++i)
      form.state.requestedBlockCount = storeRequestedBlock(form.state.requestedBlockList, form.state.requestedBlockCount,
                                                           {(i * 7) % kBlocksAcross, (i * 3) % kBlocksDown});
    form.respBsrButton.down = true;
    form.respBsrClicked();
    expectTimeLeftIsAirTime(count == 40 ? "answer of 40 blocks" : "answer of 7 blocks");
  }
}

}  // namespace
