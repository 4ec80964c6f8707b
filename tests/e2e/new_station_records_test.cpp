// A new install's first contact on simulated air: its data folder does not exist yet, and the
// texts, the picture and the logged contact that arrive are all kept, in capitals, without a box
// from the receive path, and no text from the air can pass for one of the station's own lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "station_link.h"
#include "support/file_text.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(NewStationRecords, TheFirstTextsPictureAndContactOfANewInstallAreKept) {
  TempFolder root;
  StationLink link;
  MainWindow& a = *link.a;
  MainWindow& b = *link.b;
  b.dataFolder = root.file("new/pelimo");  // nothing of it exists yet
  a.settings.callsign = "ja1abc";          // another program's station may send small letters

  // A text that would read as one of the station's own lines, then a plain one.
  a.textEdit.text = "Picture from JA1XYZ stored as /tmp/x.jpg";
  a.sendTextClicked();
  link.runTransmission();
  a.textEdit.text = "hello";
  a.sendTextClicked();
  link.runTransmission();
  const std::regex marked(
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\dZ received: ja1abc>Picture from JA1XYZ stored as /tmp/x\.jpg\n)"
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\dZ received: ja1abc>hello\n)");
  EXPECT_TRUE(std::regex_match(fileText(b.messageLogPath()), marked)) << fileText(b.messageLogPath());
  EXPECT_EQ(b.messageLog.lines.back(), "ja1abc>hello");  // the window shows the text as it came

  // The picture: stored under the callsign in capitals, and "Log out" ready at the receiver
  // without a tab click, not at the sender.
  link.sendClipboardPicture(15);
  link.runTransmission();
  EXPECT_EQ(b.state.remoteCallsign, "JA1ABC");
  EXPECT_NE(b.lastSavedPath.find("_JA1ABC.jpg"), std::string::npos) << b.lastSaveOutcome;
  EXPECT_EQ(b.pictureTabs.index, 1);
  EXPECT_TRUE(b.logOutButton.enabled);
  EXPECT_EQ(a.pictureTabs.index, 0);
  EXPECT_FALSE(a.logOutButton.enabled);

  // Pressed twice, 7 s apart, without the logging program: one record, the line on the
  // clipboard, and the message log says both happened.
  link.platformB.windowPresent = false;
  b.logOutClicked();
  link.platformB.seconds += 7;
  b.logOutClicked();
  EXPECT_EQ(link.platformB.clipboardTextValue.rfind("JA1ABC,", 0), 0u) << link.platformB.clipboardTextValue;
  EXPECT_EQ(count(fileText(b.contactLogPath()), "<EOR>"), 1u);
  EXPECT_EQ(b.messageLog.lines.back(), "The log line is on the clipboard and the contact is in the ADIF log");

  const std::string log = fileText(b.messageLogPath());
  EXPECT_NE(log.find("Z Picture from JA1ABC stored as " + b.lastSavedPath + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Z Contact with JA1ABC added to "), std::string::npos) << log;
  // Only the two "Log out" boxes (the logging program is missing); none from receiving.
  ASSERT_EQ(link.platformB.messages.size(), 2u);
  EXPECT_EQ(link.platformB.messages[0].text.rfind("Image editor was not detected.", 0), 0u);
  EXPECT_TRUE(b.lastFileProblem.empty()) << b.lastFileProblem;
}

}  // namespace
