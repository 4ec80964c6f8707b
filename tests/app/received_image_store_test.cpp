// The received-image store on the main window: automatic saves, browsing with the arrows,
// "Delete", the clipboard commands and the tab switching.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "imaging/jpeg_file.h"
#include "library/image_store_files.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class ReceivedImageStore : public testing::Test {
 protected:
  ReceivedImageStore() : form(platform) {
    form.dataFolder = dir.path().string();
    platform.now = {2024, 3, 15, 9, 42, 10};
    form.rxPicture.fill(Colour{30, 160, 220});
    form.state.decodedCallsign = "QA1BCD";
    form.state.missingBlockCount = 12;
  }
  std::string stored(const std::string& name) const { return dir.file("AutoSave/" + name); }
  std::vector<std::string> files() const { return listStoredImages(dir.file("AutoSave")); }
  // Stores a picture whose top-left pixel has this red value, as a save would.
  void store(const std::string& name, uint8_t red) {
    Picture p(320, 240);
    p.fill(Colour{red, 0, 0});
    std::string error;
    ASSERT_TRUE(saveJpeg(p, stored(name), error)) << error;
  }
  static int redShown(const ImageBox& box) { return box.shown->at(0, 0).red; }

  TempFolder dir{"pelimo-store"};
  FakePlatform platform;
  MainWindow form;
};

TEST_F(ReceivedImageStore, SavesOnlyWhenEnoughBlocksArrived) {
  form.state.missingBlockCount = 300;
  form.settings.saveMinimum = false;
  form.saveReceivedImage();  // nothing received: never saved
  form.settings.saveMinimum = true;
  form.settings.saveMinimumBlocks = 50;
  form.state.missingBlockCount = 250;  // 50 good blocks: not above the limit
  form.saveReceivedImage();
  EXPECT_FALSE(fs::exists(dir.file("AutoSave")));

  form.state.missingBlockCount = 249;
  form.settings.autoSave = false;
  form.saveReceivedImage();
  EXPECT_TRUE(files().empty());
  form.settings.autoSave = true;
  form.state.decodedCallsign = "QA1/BC";
  form.saveReceivedImage();
  EXPECT_EQ(files(), std::vector<std::string>{"20240315_0942_QA1-BC.jpg"});
  EXPECT_EQ(form.lastSavedPath, stored("20240315_0942_QA1-BC.jpg"));
  PictureResult back = readJpegFile(form.lastSavedPath);
  ASSERT_TRUE(back);
  EXPECT_NEAR(back.picture->at(5, 5).blue, 220, 3);

  form.state.decodedCallsign.clear();
  form.state.missingBlockCount = 0;
  form.saveReceivedImage();
  EXPECT_TRUE(fs::exists(stored("20240315_0942.jpg")));
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(ReceivedImageStore, SavesNeverReplaceAnotherPictureOnlyTheEarlierSaveOfTheSame) {
  form.saveReceivedImage();
  form.rxPicture.fill(colours::white);
  form.saveReceivedImage();  // another reception, same minute, same callsign: a numbered name
  ASSERT_EQ(files(), (std::vector<std::string>{"20240315_0942_QA1BCD.jpg", "20240315_0942_QA1BCD~2.jpg"}));
  EXPECT_EQ(form.lastSaveOutcome, "saved " + stored("20240315_0942_QA1BCD~2.jpg"));
  EXPECT_NEAR(readJpegFile(stored("20240315_0942_QA1BCD.jpg")).picture->at(0, 0).blue, 220, 3);
  EXPECT_EQ(readJpegFile(stored("20240315_0942_QA1BCD~2.jpg")).picture->at(0, 0), colours::white);

  // BSR answers complete the second picture within the minute: its own earlier save is replaced.
  form.rxPicture.fill(colours::black);
  form.state.bsrBlocksStored = true;
  form.saveReceivedImage();
  ASSERT_EQ(files().size(), 2u);
  EXPECT_EQ(readJpegFile(stored("20240315_0942_QA1BCD~2.jpg")).picture->at(0, 0), colours::black);
  EXPECT_NEAR(readJpegFile(stored("20240315_0942_QA1BCD.jpg")).picture->at(0, 0).blue, 220, 3);

  platform.now.minute = 45;
  form.state.bsrBlocksStored = true;
  form.saveReceivedImage();
  EXPECT_EQ(files(), (std::vector<std::string>{"20240315_0942_QA1BCD.jpg", "20240315_0945_QA1BCD.jpg"}));
  EXPECT_FALSE(form.state.bsrBlocksStored);

  platform.now.minute = 47;  // a save without BSR blocks keeps the earlier file
  form.saveReceivedImage();
  platform.now.minute = 48;
  form.state.bsrBlocksStored = true;
  form.settings.deleteOnBsrOverwrite = false;
  form.saveReceivedImage();
  form.state.bsrBlocksStored = true;  // kept earlier saves are other pictures: never replaced
  form.saveReceivedImage();
  EXPECT_EQ(files().size(), 5u);
  EXPECT_TRUE(fs::exists(stored("20240315_0948_QA1BCD~2.jpg")));
  EXPECT_TRUE(form.lastFileProblem.empty());

  // A failed save keeps the earlier file and the flag, so the next good save still replaces it.
  const std::string earlier = form.lastSavedPath;
  TempFolder broken("pelimo-broken");
  std::ofstream(broken.file("AutoSave")) << "not a folder";
  form.dataFolder = broken.path().string();
  form.settings.deleteOnBsrOverwrite = true;
  form.state.bsrBlocksStored = true;
  platform.now.minute = 50;
  form.saveReceivedImage();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].text.find("AutoSave"), std::string::npos);
  EXPECT_EQ(form.lastFileProblem, platform.messages[0].text);
  EXPECT_TRUE(fs::exists(earlier));
  EXPECT_EQ(form.lastSavedPath, earlier);
  EXPECT_TRUE(form.state.bsrBlocksStored);
  form.dataFolder = dir.path().string();
  form.saveReceivedImage();
  EXPECT_FALSE(fs::exists(earlier));
  EXPECT_TRUE(fs::exists(stored("20240315_0950_QA1BCD.jpg")));
}

TEST_F(ReceivedImageStore, AutoDeleteAfterASaveRemovesOldPictures) {
  store("20230101_1200_QA2XY.jpg", 1);
  store("20240301_1200_QA2XY.jpg", 2);
  form.settings.autoDelete = true;
  form.settings.deleteAfterDays = 120;
  form.saveReceivedImage();
  EXPECT_EQ(files(), (std::vector<std::string>{"20240301_1200_QA2XY.jpg", "20240315_0942_QA1BCD.jpg"}));
}

TEST_F(ReceivedImageStore, ArrowsBrowseAndStopAtBothEnds) {
  store("20240101_0800_QA1.jpg", 10);
  store("20240102_0900.jpg", 100);
  store("20240103_1000_QA3XYZ.jpg", 200);
  form.pictureTabs.index = 2;
  form.pictureTabChanged();  // first visit lists the folder
  EXPECT_EQ(form.statusLine.caption, "2024/01/01 08:00 QA1");
  EXPECT_EQ(form.storedImageName, "20240101_0800_QA1");
  EXPECT_NEAR(redShown(form.pictureBox), 10, 3);
  EXPECT_TRUE(form.browseShown);
  EXPECT_TRUE(form.deleteImageButton.enabled);
  EXPECT_TRUE(form.logOutButton.enabled);

  form.previousImageClicked();  // left at the first stays on the first
  EXPECT_EQ(form.state.browseIndex, 0);
  EXPECT_EQ(form.storedImageName, "20240101_0800_QA1");
  form.nextImageClicked();
  EXPECT_EQ(form.statusLine.caption, "2024/01/02 09:00");
  form.nextImageClicked();
  form.nextImageClicked();  // right at the last stays on the last
  EXPECT_EQ(form.state.browseIndex, 2);
  EXPECT_EQ(form.statusLine.caption, "2024/01/03 10:00 QA3XYZ");
  EXPECT_NEAR(redShown(form.pictureBox), 200, 3);

  // Away and back: the image on display comes back without listing the folder again.
  form.pictureTabs.index = 0;
  form.pictureTabChanged();
  fs::remove(stored("20240103_1000_QA3XYZ.jpg"));
  form.pictureTabs.index = 2;
  form.pictureTabChanged();
  EXPECT_EQ(form.statusLine.caption, "2024/01/03 10:00 QA3XYZ");
  EXPECT_NEAR(redShown(form.pictureBox), 200, 3);
  EXPECT_TRUE(form.browseShown);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(ReceivedImageStore, BrowsingCopesWithStaleIndicesEmptyStoresAndBadFiles) {
  form.nextImageClicked();  // no store folder yet
  EXPECT_EQ(form.pictureTabs.index, 2);
  EXPECT_EQ(form.statusLine.caption, "No Image");
  EXPECT_FALSE(form.deleteImageButton.enabled);
  EXPECT_FALSE(form.logOutButton.enabled);
  EXPECT_FALSE(form.browseShown);

  store("20240101_0800_QA1.jpg", 10);
  store("20240102_0900_QA2.jpg", 100);
  form.state.browseIndex = 40;  // a stale FileLoadNo
  form.nextImageClicked();
  EXPECT_EQ(form.state.browseIndex, 1);
  EXPECT_EQ(form.storedImageName, "20240102_0900_QA2");

  std::ofstream(stored("20240103_0000_BAD.jpg")) << "not a picture";
  form.nextImageClicked();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].text.find("20240103_0000_BAD.jpg"), std::string::npos);
  EXPECT_EQ(form.storedImageName, "20240102_0900_QA2");  // the step ended there
}

TEST_F(ReceivedImageStore, DeleteAsksAndStepsBack) {
  store("20240101_0800_QA1.jpg", 10);
  store("20240102_0900_QA2.jpg", 100);
  form.state.browseIndex = 1;
  form.nextImageClicked();
  ASSERT_EQ(form.storedImageName, "20240102_0900_QA2");

  platform.answerYes = false;
  form.deleteImageClicked();
  ASSERT_EQ(platform.questions.size(), 1u);
  EXPECT_EQ(platform.questions[0].text, "Delete 20240102_0900_QA2.jpg , OK?");
  EXPECT_TRUE(platform.questions[0].beep);
  EXPECT_EQ(files().size(), 2u);

  platform.answerYes = true;
  form.deleteImageClicked();
  EXPECT_EQ(files(), std::vector<std::string>{"20240101_0800_QA1.jpg"});
  EXPECT_EQ(form.state.browseIndex, 0);
  EXPECT_EQ(form.statusLine.caption, "2024/01/01 08:00 QA1");

  fs::remove(stored("20240101_0800_QA1.jpg"));  // removed behind the program's back
  form.deleteImageClicked();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "File not found.");
  EXPECT_TRUE(platform.messages[0].beep);
  EXPECT_EQ(platform.questions.size(), 2u);

  store("20240104_0000_QA4.jpg", 50);
  form.previousImageClicked();
  form.deleteImageClicked();  // the last one goes: nothing is left on display
  EXPECT_TRUE(files().empty());
  EXPECT_EQ(form.statusLine.caption, "No Image");
  EXPECT_TRUE(form.storedImageName.empty());
  EXPECT_FALSE(form.deleteImageButton.enabled);
  form.deleteImageClicked();  // nothing shown: nothing to do
  EXPECT_EQ(platform.questions.size(), 3u);
  EXPECT_EQ(platform.messages.size(), 1u);
}

TEST_F(ReceivedImageStore, DeleteRemovesExactlyTheFileOnDisplay) {
  store("20240101_0800_QA1.jpg", 10);
  store("20240101_0800_QA1.JPG", 100);
  store("20240102_0900_QA2.JPG", 200);
  form.state.browseIndex = 0;  // name order: the two .JPG files first
  form.pictureTabs.index = 2;
  form.pictureTabChanged();
  ASSERT_EQ(redShown(form.pictureBox), 100);
  form.deleteImageClicked();
  ASSERT_EQ(platform.questions.size(), 1u);
  EXPECT_EQ(platform.questions[0].text, "Delete 20240101_0800_QA1.JPG , OK?");
  EXPECT_EQ(files(), (std::vector<std::string>{"20240101_0800_QA1.jpg", "20240102_0900_QA2.JPG"}));

  form.state.browseIndex = 0;
  form.nextImageClicked();  // to the lone .JPG of its name
  ASSERT_EQ(redShown(form.pictureBox), 200);
  form.deleteImageClicked();
  EXPECT_EQ(files(), std::vector<std::string>{"20240101_0800_QA1.jpg"});
  EXPECT_TRUE(platform.messages.empty());  // never "File not found." for a file that is there
}

TEST_F(ReceivedImageStore, TabsChooseThePictureTheCaptionAndTheButtons) {
  form.txPicture.fill(Colour{1, 0, 0});
  form.txPreviewPicture.fill(Colour{2, 0, 0});
  form.rxPicture.fill(Colour{3, 0, 0});
  form.state.txTimeText = "TxTime : 2'34'' (File)";
  form.state.remoteCallsign = "QA1BCD";
  store("20240101_0800_QA1.jpg", 200);

  form.pictureTabs.index = 2;
  form.pictureTabChanged();
  form.pictureTabs.index = 1;
  form.pictureTabChanged();
  EXPECT_EQ(redShown(form.pictureBox), 3);
  EXPECT_EQ(form.statusLine.caption, "From : QA1BCD");
  EXPECT_FALSE(form.browseShown);
  EXPECT_TRUE(form.logOutButton.enabled);
  EXPECT_FALSE(form.deleteImageButton.enabled);

  form.toClipboardClicked();
  EXPECT_EQ(platform.clipboard->at(0, 0).red, 3);

  form.pictureTabs.index = 0;
  form.pictureTabChanged();
  EXPECT_EQ(redShown(form.pictureBox), 1);
  EXPECT_EQ(form.statusLine.caption, "TxTime : 2'34'' (File)");
  EXPECT_FALSE(form.logOutButton.enabled);
  EXPECT_FALSE(form.deleteImageButton.enabled);
  form.toClipboardClicked();
  EXPECT_EQ(platform.clipboard->at(0, 0).red, 1);
  form.state.txInProgress = true;
  form.pictureTabChanged();
  EXPECT_EQ(redShown(form.pictureBox), 2);

  form.pictureTabs.index = 2;
  form.pictureTabChanged();
  EXPECT_NEAR(redShown(form.pictureBox), 200, 3);
  EXPECT_EQ(form.statusLine.caption, "2024/01/01 08:00 QA1");
  EXPECT_TRUE(form.browseShown);
  EXPECT_TRUE(form.logOutButton.enabled);
  EXPECT_TRUE(form.deleteImageButton.enabled);
  form.toClipboardClicked();
  EXPECT_NEAR(platform.clipboard->at(0, 0).red, 200, 3);
}

TEST_F(ReceivedImageStore, FromClipboardOnlyWhenIdle) {
  platform.clipboard = Picture(400, 300);
  form.state.txInProgress = true;
  form.fromClipboardClicked();
  EXPECT_FALSE(form.state.imageFromClipboard);
  EXPECT_TRUE(form.clipboardPicture.empty());
  form.state.txInProgress = false;
  form.fromClipboardClicked();
  EXPECT_TRUE(form.state.imageFromClipboard);
  EXPECT_EQ(form.clipboardPicture.width(), 400);
}

TEST_F(ReceivedImageStore, WithoutADataFolderNothingIsStored) {
  form.dataFolder.clear();
  form.saveReceivedImage();
  form.deleteOldImages();
  form.nextImageClicked();
  EXPECT_EQ(form.statusLine.caption, "No Image");
  EXPECT_TRUE(form.lastSavedPath.empty());
  EXPECT_TRUE(platform.messages.empty());
}

}  // namespace
