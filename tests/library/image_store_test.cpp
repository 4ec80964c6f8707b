// Names, captions, ages and files of the received-image store.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "imaging/jpeg_file.h"
#include "library/image_store_files.h"
#include "library/stored_image_names.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const LocalTime kSaveTime{2024, 3, 15, 9, 42, 30};

void writeText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TEST(StoredImageNames, NamesFromTheLocalTimeAndTheCallsign) {
  EXPECT_EQ(storedImageFileName(kSaveTime, "QA1BCD"), "20240315_0942_QA1BCD.jpg");
  EXPECT_EQ(storedImageFileName(kSaveTime, "QA1/BC"), "20240315_0942_QA1-BC.jpg");
  EXPECT_EQ(storedImageFileName(kSaveTime, ""), "20240315_0942.jpg");
  EXPECT_EQ(storedImageFileName({987, 12, 1, 23, 5, 0}, "A"), "09871201_2305_A.jpg");
  EXPECT_EQ(cleanCallsign("a\\b/c:d*e?f\"g<h>i|j"), "a-b-c-d-e-f-g-h-i-j");
  EXPECT_EQ(cleanCallsign("QA1BCD/P-2 x.y"), "QA1BCD-P-2 x.y");
  EXPECT_EQ(storeFolderIn("/home/op/pelimo"), "/home/op/pelimo/AutoSave");
  EXPECT_EQ(storeFolderIn("/"), "/AutoSave");
}

TEST(StoredImageNames, HostileCallsignsStayAPlainVisibleNameInsideTheFolder) {
  const fs::path folder = "/store/AutoSave";
  for (const std::string& callsign :
       {std::string(".."), std::string("..."), std::string("/"), std::string("../../etc/passwd"),
        std::string("\\..\\x"), std::string("a\nb\tc"), std::string("\x7f\x01"),
        std::string("Q\xc3\xa9X"), std::string("nul\0nul", 7), std::string(5000, 'W')}) {
    const std::string name = storedImageFileName(kSaveTime, callsign);
    SCOPED_TRACE(name);
    EXPECT_EQ(name.rfind("20240315_0942_", 0), 0u);
    EXPECT_EQ((folder / name).parent_path(), folder);
    EXPECT_EQ((folder / name).filename().string(), name);
    EXPECT_LE(name.size(), 220u);  // room for the writer's temporary suffix within 255
    for (unsigned char c : name) EXPECT_TRUE(c >= 0x20 && c < 0x7F && c != '/' && c != '\\');
  }
  EXPECT_EQ(cleanCallsign("Q\xc3\xa9X"), "Q--X");
}

TEST(StoredImageNames, OnlyTheStationsOwnNamesAreRecognisedWithTheirNumberSuffix) {
  EXPECT_EQ(numberedStoredName("20240315_0942_QA1BCD.jpg", 2), "20240315_0942_QA1BCD~2.jpg");
  EXPECT_EQ(numberedStoredName("20240315_0942.jpg", 13), "20240315_0942~13.jpg");
  EXPECT_EQ(numberedStoredName("20240315_0942.jpg", 1), "20240315_0942.jpg");
  // "~" in a callsign is cleaned, so the suffix is never part of a callsign.
  EXPECT_EQ(storedImageFileName(kSaveTime, "QA1~2"), "20240315_0942_QA1-2.jpg");
  EXPECT_EQ(withoutNumberSuffix("20240315_0942_QA1BCD~2"), "20240315_0942_QA1BCD");
  EXPECT_EQ(withoutNumberSuffix("20240315_0942_QA1-BC"), "20240315_0942_QA1-BC");
  EXPECT_EQ(withoutNumberSuffix("20240315_0942~12"), "20240315_0942");
  EXPECT_EQ(withoutNumberSuffix("20240315_0942_X~02"), "20240315_0942_X~02");  // not a number suffix

  for (const char* own : {"20240315_0942.jpg", "20240315_0942_QA1BCD.jpg", "20240315_0942_QA1-BC.jpg",
                          "20240315_0942_QA1BCD~2.jpg", "20240315_0942~7.jpg", "20240315_0942_a b.jpg"})
    EXPECT_TRUE(isStationImageName(own)) << own;
  for (const char* foreign :
       {"20230615_142233.jpg", "20200101_vacation.jpg", "20240315_0942_QA1BCD.JPG", "20240315_0942.Jpg",
        "20240315_0942_.jpg", "20240315_0942x.jpg", "20240315-0942_QA1.jpg", "2024031a_0942.jpg",
        "20240315_0942_Q:A.jpg", "20240315_0942_QA1~.jpg", "holiday.jpg", "snapshot_20230101.jpg",
        "IMG_20230101_1200.jpg", "20240315_0942_QA1.jpg.txt"})
    EXPECT_FALSE(isStationImageName(foreign)) << foreign;
}

TEST(StoredImageNames, CaptionsFromNames) {
  EXPECT_EQ(captionFromStoredName("20240315_0942_QA1BCD"), "2024/03/15 09:42 QA1BCD");
  EXPECT_EQ(captionFromStoredName("20240315_0942"), "2024/03/15 09:42");
  EXPECT_EQ(captionFromStoredName("20240315_0942_A"), "2024/03/15 09:42");  // 15 characters
  EXPECT_EQ(captionFromStoredName("20240315_0942_AB"), "2024/03/15 09:42 AB");
  EXPECT_EQ(captionFromStoredName("holiday"), "holi/da/y :");
  EXPECT_EQ(captionFromStoredName(""), "// :");
}

TEST(StoredImageNames, AgeIsReadFromTheName) {
  // 2023-01-01 12:00 plus 120 days is 2023-05-01 12:00.
  const LocalTime exactly{2023, 5, 1, 12, 0, 0};
  const LocalTime later{2023, 5, 1, 12, 0, 1};
  EXPECT_FALSE(storedImageIsOld("20230101_1200.jpg", exactly, 120));
  EXPECT_TRUE(storedImageIsOld("20230101_1200.jpg", later, 120));
  EXPECT_TRUE(storedImageIsOld("20230101_1200_QA1BCD.jpg", later, 120));
  EXPECT_FALSE(storedImageIsOld("20230101_1200.jpg", later, 121));
  EXPECT_FALSE(storedImageIsOld("holiday.jpg", later, 1));
  EXPECT_FALSE(storedImageIsOld("snapshot_20230101.jpg", later, 1));
  EXPECT_FALSE(storedImageIsOld("20230230_1200.jpg", later, 1));  // no 30 February
  EXPECT_FALSE(storedImageIsOld("2023ab01_1200.jpg", later, 1));  // month counts as 0
  EXPECT_FALSE(storedImageIsOld("20230101_2460.jpg", later, 1));
  EXPECT_FALSE(storedImageIsOld("00000101_1200.jpg", later, 1));
  EXPECT_TRUE(storedImageIsOld("20240228_1200.jpg", {2024, 3, 1, 12, 0, 1}, 2));  // leap year
  // A damaged setting of 0 or less days keeps the last day's pictures.
  EXPECT_FALSE(storedImageIsOld("20230501_0000.jpg", later, 0));
  EXPECT_FALSE(storedImageIsOld("20230501_0000.jpg", later, -1000));
  EXPECT_FALSE(storedImageIsOld("20230101_1200.jpg", {2023, 13, 1, 0, 0, 0}, 1));
}

TEST(ImageStoreFiles, ListsJpgFilesInNameOrder) {
  TempFolder dir("pelimo-store");
  for (const char* name : {"20240102_0000.jpg", "20240101_0000_B.JPG", "a.Jpg", "b.jpeg",
                           "notes.txt", "jpg", "20231231_2359.jpg"})
    writeText(dir.file(name), "x");
  fs::create_directory(dir.path() / "folder.jpg");
  EXPECT_EQ(listStoredImages(dir.path().string()),
            (std::vector<std::string>{"20231231_2359.jpg", "20240101_0000_B.JPG",
                                      "20240102_0000.jpg", "a.Jpg"}));
  EXPECT_TRUE(listStoredImages(dir.file("missing")).empty());
}

TEST(ImageStoreFiles, SaveCreatesTheWholeFolderPathAndReplacesAFile) {
  TempFolder dir("pelimo-store");
  Picture picture(320, 240);
  picture.fill(Colour{200, 40, 90});
  std::string error;
  const std::string path = dir.file("AutoSave/20240315_0942_QA1BCD.jpg");
  ASSERT_TRUE(saveJpeg(picture, path, error)) << error;
  PictureResult back = readJpegFile(path);
  ASSERT_TRUE(back) << back.error;
  EXPECT_EQ(back.picture->width(), 320);
  EXPECT_EQ(back.picture->height(), 240);
  const Colour c = back.picture->at(100, 100);
  EXPECT_NEAR(c.red, 200, 3);
  EXPECT_NEAR(c.green, 40, 3);
  EXPECT_NEAR(c.blue, 90, 3);

  picture.fill(colours::white);
  ASSERT_TRUE(saveJpeg(picture, path, error)) << error;
  EXPECT_EQ(readJpegFile(path).picture->at(0, 0), colours::white);
  EXPECT_EQ(listStoredImages(dir.file("AutoSave")).size(), 1u);  // no temporary left behind

  // Every missing folder of the path is made (a new install has none of them).
  ASSERT_TRUE(saveJpeg(picture, dir.file("a/b/x.jpg"), error)) << error;
  EXPECT_TRUE(fs::is_regular_file(dir.file("a/b/x.jpg")));

  // A file in the way is a message naming it, not an exception, and it stays as it was.
  writeText(dir.file("plain"), "keep");
  EXPECT_FALSE(saveJpeg(picture, dir.file("plain/AutoSave/x.jpg"), error));
  EXPECT_NE(error.find(dir.file("plain")), std::string::npos) << error;
  EXPECT_TRUE(fs::is_regular_file(dir.file("plain")));
}

TEST(ImageStoreFiles, AFreeNameNeverReplacesAnotherPicture) {
  TempFolder dir("pelimo-store");
  const std::string folder = dir.path().string();
  const std::string name = "20240315_0942_QA1BCD.jpg";
  EXPECT_EQ(unusedStoredPath(folder, name, ""), dir.file(name));
  writeText(dir.file(name), "first");
  fs::create_symlink("nowhere", dir.file("20240315_0942_QA1BCD~2.jpg"));  // a dangling link is taken too
  EXPECT_EQ(unusedStoredPath(folder, name, ""), dir.file("20240315_0942_QA1BCD~3.jpg"));
  // The earlier save of the same picture may be written over.
  EXPECT_EQ(unusedStoredPath(folder, name, dir.file(name)), dir.file(name));
}


TEST(ImageStoreFiles, OldFilesAreDeletedByTheirNames) {
  TempFolder dir("pelimo-store");
  // The user's own photos that look dated (camera names, a .JPG) are never the station's.
  for (const char* name : {"20230101_1200.jpg", "20230101_1200_QA1BCD.jpg", "20230101_1200_QA1BCD~2.jpg",
                           "20230601_1200.jpg", "holiday.jpg", "snapshot_20230101.jpg", "20230101_1200.txt",
                           "20230615_142233.jpg", "20200101_vacation.jpg", "20200101_1200_QA1.JPG"})
    writeText(dir.file(name), "x");
  std::string error;
  ASSERT_TRUE(deleteOldImageFiles(dir.path().string(), {2023, 6, 1, 0, 0, 0}, 120, error));
  EXPECT_EQ(listStoredImages(dir.path().string()),
            (std::vector<std::string>{"20200101_1200_QA1.JPG", "20200101_vacation.jpg", "20230601_1200.jpg",
                                      "20230615_142233.jpg", "holiday.jpg", "snapshot_20230101.jpg"}));
  EXPECT_TRUE(fs::exists(dir.file("20230101_1200.txt")));
  EXPECT_TRUE(deleteOldImageFiles(dir.file("missing"), {2023, 6, 1, 0, 0, 0}, 120, error));
}

}  // namespace
