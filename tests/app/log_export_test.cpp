// "Log out": the log line from the RX and the LOG tab, the fixed mode, the three error boxes,
// and the line kept on the clipboard when the logging program is not running.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/main_window.h"
#include "framing/frame_bits.h"
#include "library/image_store_files.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"

namespace {

class LogExport : public testing::Test {
 protected:
  LogExport() : form(platform) {
    platform.now = {2024, 3, 15, 9, 42, 10};
    platform.clipboardTextValue = "untouched";
  }
  // The line handed over by one press, or "" when none was; boxes collect in platform.
  std::string press() {
    platform.clipboardTextValue = "untouched";
    const size_t sent = platform.f8Targets.size();
    form.logOutClicked();
    if (platform.f8Targets.size() == sent) {
      EXPECT_EQ(platform.clipboardTextValue, "untouched");
      return "";
    }
    EXPECT_EQ(platform.f8Targets.back(), form.settings.imageEditorName);
    return platform.clipboardTextValue;
  }
  std::string lastBox() const { return platform.messages.empty() ? "" : platform.messages.back().text; }

  FakePlatform platform;
  MainWindow form;
};

TEST_F(LogExport, ReceptionLineNamesTheModeTheContactWasReceivedIn) {
  EXPECT_EQ(press(), "");  // TX tab: nothing at all
  EXPECT_TRUE(platform.messages.empty());

  form.pictureTabs.index = 1;
  EXPECT_EQ(press(), "");
  EXPECT_EQ(lastBox(), "No callsign data received.");
  EXPECT_TRUE(platform.messages.back().beep);

  form.state.remoteCallsign = "QA1BCD";
  EXPECT_EQ(press(), "QA1BCD,24/03/15,09:42,15dB,MSK/NORM,40");
  RxFrameInfo block;
  block.kind = 1;
  block.fourLevel = true;
  block.coded = true;
  form.noteReceivedFrame(block);
  RxFrameInfo end;
  end.kind = 3;  // end frames do not change the modulation of the contact
  end.coded = true;
  form.noteReceivedFrame(end);
  EXPECT_EQ(press(), "QA1BCD,24/03/15,09:42,15dB,4L-FSK/CONV,40");
  // The code is that of the last header of any kind.
  RxFrameInfo request;
  request.kind = 4;
  form.noteReceivedFrame(request);
  EXPECT_EQ(press(), "QA1BCD,24/03/15,09:42,15dB,4L-FSK/NORM,40");

  form.settings.logMode = "DIGI";
  form.settings.logReport = "-3dB";
  form.settings.logBand = "20";
  EXPECT_EQ(press(), "QA1BCD,24/03/15,09:42,-3dB,DIGI,20");
}

TEST_F(LogExport, StoredPictureLineIsCutFromItsName) {
  form.pictureTabs.index = 2;
  form.storedImageName = "20240315_0942_QA1BCD";
  EXPECT_EQ(press(), "QA1BCD,24/03/15,09:42,15dB,MSK/NORM,40");
  form.storedImageName = "20240315_0942_";
  EXPECT_EQ(press(), ",24/03/15,09:42,15dB,MSK/NORM,40");
  form.settings.logMode = "SSB";
  EXPECT_EQ(press(), ",24/03/15,09:42,15dB,SSB,40");

  for (const char* name : {"20240315_0942", "202403150942_QA1", ""}) {
    form.storedImageName = name;
    EXPECT_EQ(press(), "") << name;
    EXPECT_EQ(lastBox(), "No callsign is included in file name.") << name;
  }
}

TEST_F(LogExport, WithoutTheLoggingProgramTheLineStillGoesOnTheClipboardAndTheLogSaysSo) {
  form.pictureTabs.index = 2;
  form.storedImageName = "20240315_0942_QA1BCD";
  form.settings.imageEditorName = "Station Log";
  platform.windowPresent = false;
  form.logOutClicked();
  EXPECT_EQ(platform.clipboardTextValue, "QA1BCD,24/03/15,09:42,15dB,MSK/NORM,40");
  EXPECT_EQ(lastBox(), "Image editor was not detected.\r\nName : Station Log");
  EXPECT_TRUE(platform.messages.back().beep);
  EXPECT_TRUE(platform.f8Targets.empty());
  EXPECT_EQ(form.messageLog.lines.back(), "The log line is on the clipboard");  // no data folder: no ADIF log
  // A numbered save of a picture names the same contact.
  platform.windowPresent = true;
  form.storedImageName = "20240315_0942_QA1BCD~2";
  EXPECT_EQ(press(), "QA1BCD,24/03/15,09:42,15dB,MSK/NORM,40");
  form.storedImageName = "20240315_0942~2";
  platform.clipboardTextValue.clear();
  EXPECT_EQ(press(), "");
  EXPECT_EQ(lastBox(), "No callsign is included in file name.");
}

// A payload of these bytes, as the frame reader hands it over.
BitBuffer payloadOf(const std::string& bytes) {
  BitBuffer bits;
  for (unsigned char c : bytes) bits.putBits(c, 8);
  return bits;
}

TEST_F(LogExport, AHostileCallsignIsShownLiterallyAndCleanedEverywhere) {
  TempFolder home("pelimo-hostile");
  form.dataFolder = home.path().string();
  form.settings.saveMinimum = false;
  // Markup, a terminal escape, a line break, a line separator, a direction override, commas
  // and path characters.
  const std::string hostile = "<b>QA1</b>,\x1b[2J\r\nX\xE2\x80\xA8Y\xE2\x80\xAEZ,../\"";
  RxFrameInfo callsign;
  callsign.kind = kFrameCallsign;
  callsign.payloadLength = static_cast<int>(hostile.size()) * 8;
  form.framePayloadActions(callsign, payloadOf(hostile), true, {});
  RxFrameInfo block;
  block.kind = kFrameImageBlock;
  form.frameHeaderActions(block);
  form.framePayloadActions(block, BitBuffer{}, true, {});
  // Kept as received, byte for byte, except that callsigns are kept in capitals.
  ASSERT_EQ(form.state.remoteCallsign, "<B>QA1</B>,\x1b[2J\r\nX\xE2\x80\xA8Y\xE2\x80\xAEZ,../\"");

  const std::string r = "\xEF\xBF\xBD";
  const std::string shown = "<B>QA1</B>," + r + "[2J" + r + r + "X" + r + "Y" + r + "Z,../\"";
  EXPECT_EQ(form.callsignPanel.caption, shown);  // markup stays text; the window draws it as such
  EXPECT_EQ(form.pictureTabs.index, 1);
  EXPECT_EQ(form.statusLine.caption, "From : " + shown);

  RxFrameInfo end;
  end.kind = kFrameEnd;
  form.frameHeaderActions(end);
  const std::vector<std::string> stored = listStoredImages(home.file("AutoSave"));
  ASSERT_EQ(stored.size(), 1u) << form.lastSaveOutcome;
  EXPECT_EQ(stored[0], "20240315_0942_-B-QA1--B-,-[2J--X---Y---Z,..--.jpg");

  // Both log lines: one line of six fields, whatever the callsign held.
  form.pictureTabs.index = 0;
  form.pictureTabChanged();
  form.pictureTabs.index = 1;
  form.pictureTabChanged();
  EXPECT_EQ(form.statusLine.caption, "From : " + shown);
  const std::string fromReception = press();
  form.pictureTabs.index = 2;
  form.pictureTabChanged();
  const std::string fromStore = press();
  for (const std::string& line : {fromReception, fromStore}) {
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 5) << line;
    EXPECT_EQ(line.find_first_of("\r\n\x1b\""), std::string::npos) << line;
  }
  EXPECT_EQ(fromReception, "<B>QA1</B>-" + r + "[2J" + r + r + "X" + r + "Y" + r + "Z-../-,24/03/15,09:42,15dB,MSK/NORM,40");
  EXPECT_EQ(fromStore, "-B-QA1--B--" + std::string("-[2J--X---Y---Z-..--,24/03/15,09:42,15dB,MSK/NORM,40"));
}

}  // namespace
