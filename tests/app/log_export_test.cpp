// "Log out": the log line from the RX and the LOG tab, the fixed mode, the three error boxes,
// and the clipboard left alone when the logging program is not running.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "support/fake_platform.h"

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
  end.kind = 3;  // end frames do not change the mode of the contact
  form.noteReceivedFrame(end);
  EXPECT_EQ(press(), "QA1BCD,24/03/15,09:42,15dB,4L-FSK/CONV,40");

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

TEST_F(LogExport, AbsentLoggingProgramLeavesTheClipboardAlone) {
  form.pictureTabs.index = 2;
  form.storedImageName = "20240315_0942_QA1BCD";
  form.settings.imageEditorName = "Station Log";
  platform.windowPresent = false;
  EXPECT_EQ(press(), "");
  EXPECT_EQ(lastBox(), "Image editor was not detected.\r\nName : Station Log");
  EXPECT_TRUE(platform.messages.back().beep);
  EXPECT_TRUE(platform.f8Targets.empty());
}

}  // namespace
