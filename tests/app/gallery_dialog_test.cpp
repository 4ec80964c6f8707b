// The gallery's form model on a real folder: the pictures newest first with what their records
// (or names) say, damaged and hostile files that only cost their own entry, and the commands:
// delete exactly one picture and its record, open, copy and use as the picture to send.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/dialogs/gallery_dialog.h"
#include "imaging/jpeg_file.h"
#include "library/picture_record.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Gallery : public testing::Test {
 protected:
  Gallery() {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void picture(const std::string& name, uint8_t red) {
    Picture p(320, 240);
    p.fill(Colour{red, 10, 10});
    ASSERT_TRUE(writeJpegFile(dir.file(name), p));
  }
  void text(const std::string& name, const std::string& content) { std::ofstream(dir.file(name)) << content; }
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir.path())) out.insert(e.path().filename().string());
    return out;
  }
  std::vector<std::string> listed() const {
    std::vector<std::string> out;
    for (const GalleryItem& item : gallery.items) out.push_back(item.fileName);
    return out;
  }
  void open() {
    gallery.show(dir.path().string());
    ASSERT_TRUE(gallery.settle(10s));
  }

  TempFolder dir{"pelimo-gallery"};
  FakePlatform platform;
  std::vector<std::string> usedForSending;
  GalleryDialog gallery{platform, [this](const std::string& path) {
                          usedForSending.push_back(path);
                          return true;
                        }};
};

TEST_F(Gallery, ListsNewestFirstSurvivesDamagedFilesAndDeletesExactlyOnePictureWithItsRecord) {
  PictureRecord record;
  record.callsign = "JA1ABC";
  record.utc = "2026-12-08T14:30:05Z";
  record.blocks = 287;
  record.snrDb = 12.34;
  record.frequencyHz = 7'074'000;
  std::string error;
  picture("20261208_1430_JA1ABC.jpg", 200);
  ASSERT_TRUE(writePictureRecord(dir.file("20261208_1430_JA1ABC.json"), record, error)) << error;
  // Its record dates it after the name's minute: the record's time counts.
  picture("20261208_1431_DL2XYZ.jpg", 100);
  record.callsign = "DL2XYZ";
  record.utc = "2026-12-08T14:29:00Z";
  record.frequencyHz.reset();
  ASSERT_TRUE(writePictureRecord(dir.file("20261208_1431_DL2XYZ.json"), record, error));
  picture("20261208_1500_QA1BCD~2.jpg", 50);  // no record: the name tells
  picture("latest.jpg", 1);                      // never listed
  // Damaged and hostile files: a record that is no JSON, one nested a hundred thousand deep,
  // one with wrong types, a huge record, a control-laden callsign, a picture that is no JPEG,
  // and a pipe named like a picture.
  picture("20261201_0800_QA2A.jpg", 20);
  text("20261201_0800_QA2A.json", "{\"callsign\": \"QA2A\", \"utc\": ");
  picture("20261201_0900_QA2B.jpg", 30);
  text("20261201_0900_QA2B.json", std::string(100000, '[') + std::string(100000, ']'));
  picture("20261201_1000_QA2C.jpg", 40);
  text("20261201_1000_QA2C.json", R"({"callsign":7,"utc":"2026-13-45T99:99:99Z","blocks":-5,"snrDb":"x","frequencyHz":1e308})");
  picture("20261201_1100_QA2D.jpg", 60);
  text("20261201_1100_QA2D.json", "{\"utc\":\"" + std::string(1 << 20, 'x') + "\"}");
  picture("20261201_1200_QA2E.jpg", 70);
  text("20261201_1200_QA2E.json", "{\"callsign\":\"\\u001b[31mEVIL\\u202e\\n\",\"utc\":\"2026-12-01T12:00:00Z\",\"blocks\":12}");
  text("20261130_0000_BROKEN.jpg", "this is not a picture");
  ASSERT_EQ(::mkfifo(dir.file("20261129_0000_FIFO.jpg").c_str(), 0600), 0);
  text("notes.json", "{}");

  open();
  EXPECT_EQ(listed(), (std::vector<std::string>{"20261208_1500_QA1BCD~2.jpg", "20261208_1430_JA1ABC.jpg",
                                                "20261208_1431_DL2XYZ.jpg", "20261201_1200_QA2E.jpg",
                                                "20261201_1100_QA2D.jpg", "20261201_1000_QA2C.jpg",
                                                "20261201_0900_QA2B.jpg", "20261201_0800_QA2A.jpg",
                                                "20261130_0000_BROKEN.jpg"}));
  EXPECT_EQ(gallery.statusLine.caption, "9 pictures in " + dir.path().string());
  const GalleryItem& noRecord = gallery.items[0];
  EXPECT_FALSE(noRecord.hasRecord);
  EXPECT_EQ(noRecord.callsign, "QA1BCD");
  EXPECT_EQ(noRecord.timeUtc, "2026-12-08 15:00Z");
  EXPECT_EQ(galleryItemText(gallery.items[1]), "JA1ABC\n2026-12-08 14:30Z\n40m  12.3 dB\n287/300 blocks");
  EXPECT_EQ(galleryItemText(gallery.items[2]), "DL2XYZ\n2026-12-08 14:29Z\n12.3 dB\n287/300 blocks");
  EXPECT_EQ(gallery.items[3].callsign, "\uFFFD[31mEVIL\uFFFD\uFFFD");
  for (int i : {4, 6, 7}) EXPECT_FALSE(gallery.items[static_cast<size_t>(i)].hasRecord) << i;
  EXPECT_EQ(gallery.items[5].completeness, "0/300 blocks");  // wrong types fall back, no crash
  EXPECT_EQ(gallery.items[5].timeUtc, "2026-12-01 10:00Z");

  // Thumbnails are made away from the main thread and come in with the next take.
  for (int i = 0; i < static_cast<int>(gallery.items.size()); ++i) EXPECT_EQ(gallery.thumbnail(i), nullptr);
  ASSERT_TRUE(gallery.settle(10s));
  ASSERT_NE(gallery.thumbnail(1), nullptr);
  EXPECT_EQ(gallery.thumbnail(1)->width(), 96);
  EXPECT_EQ(gallery.thumbnail(1)->height(), 72);
  EXPECT_NEAR(gallery.thumbnail(1)->at(40, 30).red, 200, 4);
  EXPECT_EQ(gallery.thumbnail(8), nullptr);
  EXPECT_TRUE(gallery.thumbnailFailed(8));

  // Open, copy and use act on the selected picture.
  EXPECT_FALSE(gallery.deleteButton.enabled);
  gallery.itemActivated(1);
  EXPECT_TRUE(gallery.deleteButton.enabled);
  gallery.copyClicked();
  ASSERT_TRUE(gallery.settle(10s));
  EXPECT_TRUE(gallery.largeVisible);
  EXPECT_EQ(gallery.largePicture.width(), 320);
  ASSERT_TRUE(platform.clipboard);
  EXPECT_NEAR(platform.clipboard->at(5, 5).red, 200, 4);
  gallery.useClicked();
  EXPECT_EQ(usedForSending, std::vector<std::string>{dir.file("20261208_1430_JA1ABC.jpg")});

  // "Delete" asks first; No keeps everything, Yes takes exactly that picture and its record.
  const std::set<std::string> before = names();
  platform.answerYes = false;
  gallery.deleteClicked();
  EXPECT_EQ(names(), before);
  platform.answerYes = true;
  gallery.deleteClicked();
  ASSERT_EQ(platform.questions.size(), 2u);
  EXPECT_EQ(platform.questions[1].text, "Delete 20261208_1430_JA1ABC.jpg , OK?");
  std::set<std::string> expected = before;
  expected.erase("20261208_1430_JA1ABC.jpg");
  expected.erase("20261208_1430_JA1ABC.json");
  EXPECT_EQ(names(), expected);
  EXPECT_FALSE(gallery.largeVisible);
  EXPECT_EQ(gallery.items.size(), 8u);
  EXPECT_EQ(gallery.items[static_cast<size_t>(gallery.selected)].fileName, "20261208_1431_DL2XYZ.jpg");
  // A damaged record is not ours to delete: its picture goes, the file stays.
  gallery.itemSelected(6);
  gallery.deleteClicked();
  EXPECT_FALSE(fs::exists(dir.file("20261201_0800_QA2A.jpg")));
  EXPECT_TRUE(fs::exists(dir.file("20261201_0800_QA2A.json")));
  EXPECT_TRUE(platform.messages.empty());

  // A folder that is not there lists nothing.
  gallery.show(dir.file("missing"));
  ASSERT_TRUE(gallery.settle(10s));
  EXPECT_TRUE(gallery.items.empty());
  EXPECT_EQ(gallery.statusLine.caption, "No pictures in " + dir.file("missing"));
}

}  // namespace
