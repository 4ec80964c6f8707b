#include "imaging/picture_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "imaging/bmp_file.h"
#include "core/file_bytes.h"
#include "imaging/jpeg_file.h"
#include "picture_file_test_support.h"

using namespace picture_test;

namespace {

TEST(PictureFile, TheSamplePictureIsADetailedColour640x480) {
  PictureResult r = readPictureFile(sampleJpegPath());
  ASSERT_TRUE(r) << r.error;
  ASSERT_EQ(r.picture->width(), 640);
  ASSERT_EQ(r.picture->height(), 480);
  // Colour everywhere: many pixels whose channels differ widely.
  int colourful = 0;
  for (int y = 0; y < 480; y += 8)
    for (int x = 0; x < 640; x += 8) {
      Colour c = r.picture->at(x, y);
      if (std::max({c.red, c.green, c.blue}) - std::min({c.red, c.green, c.blue}) > 60) ++colourful;
    }
  EXPECT_GT(colourful, 4800 / 4);
}

TEST(PictureFile, ChoosesTheReaderByContentNotByName) {
  ScratchFolder folder;
  Picture p(9, 5);
  p.fill(Colour{200, 30, 60});
  const std::string jpegNamedBmp = folder.file("TxImage.bmp");
  const std::string bmpNamedJpg = folder.file("photo.JPG");
  const std::string noExtension = folder.file("picture");
  ASSERT_TRUE(writeJpegFile(jpegNamedBmp, p));
  ASSERT_TRUE(writeBmpFile(bmpNamedJpg, p));
  ASSERT_TRUE(writeBmpFile(noExtension, p));

  PictureResult fromJpeg = readPictureFile(jpegNamedBmp);
  ASSERT_TRUE(fromJpeg) << fromJpeg.error;
  EXPECT_LE(channelDistance(fromJpeg.picture->at(4, 2), Colour{200, 30, 60}), 3);
  PictureResult fromBmp = readPictureFile(bmpNamedJpg);
  ASSERT_TRUE(fromBmp) << fromBmp.error;
  EXPECT_EQ(*fromBmp.picture, p);
  EXPECT_TRUE(readPictureFile(noExtension));
}

TEST(PictureFile, FailuresSayWhatIsWrongAndWhere) {
  ScratchFolder folder;
  const std::string missing = folder.file("missing.jpg");
  EXPECT_EQ(readPictureFile(missing).error, "The file does not exist: " + missing);
  EXPECT_EQ(readPictureFile(folder.file("no-folder/x.bmp")).error,
            "The file does not exist: " + folder.file("no-folder/x.bmp"));

  const std::string empty = folder.file("empty.jpg");
  writeBytes(empty, {});
  EXPECT_EQ(readPictureFile(empty).error, "The file is empty: " + empty);

  const std::string gif = folder.file("picture.bmp");
  writeBytes(gif, {'G', 'I', 'F', '8', '9', 'a', 0, 0});
  EXPECT_EQ(readPictureFile(gif).error, "The file is not a JPEG, PNG or BMP picture: " + gif);
  const std::string oneByte = folder.file("one.jpg");
  writeBytes(oneByte, {0xFF});
  EXPECT_EQ(readPictureFile(oneByte).error, "The file is not a JPEG, PNG or BMP picture: " + oneByte);

  EXPECT_EQ(readPictureFile(folder.path().string()).error,
            "This is not a file: " + folder.path().string());
  EXPECT_FALSE(readPictureFile(""));

  // The inner reader's reason comes first, then the path.
  const std::string brokenBmp = folder.file("broken.bmp");
  writeBytes(brokenBmp, {'B', 'M', 1, 2, 3});
  EXPECT_EQ(readPictureFile(brokenBmp).error, "The BMP picture is truncated: " + brokenBmp);

  if (::geteuid() != 0) {  // root reads any file regardless of its mode
    const std::string locked = folder.file("locked.jpg");
    writeBytes(locked, readBytes(sampleJpegPath()));
    ::chmod(locked.c_str(), 0);
    PictureResult r = readPictureFile(locked);
    EXPECT_FALSE(r);
    EXPECT_TRUE(r.error.starts_with("The file cannot be opened (")) << r.error;
  }
}

TEST(PictureFile, WholeFileReadsStopAtTheSizeLimit) {
  ScratchFolder folder;
  const std::string path = folder.file("data.bin");
  writeBytes(path, std::vector<uint8_t>(5000, 7));
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(readFileBytes(path, 5000, bytes, error)) << error;
  EXPECT_EQ(bytes, std::vector<uint8_t>(5000, 7));
  EXPECT_FALSE(readFileBytes(path, 4999, bytes, error));
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(error.starts_with("The file is too large for a picture")) << error;
  EXPECT_TRUE(error.ends_with(path)) << error;
}

TEST(PictureFile, DetectsFormatsFromTheFirstBytes) {
  const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF};
  const uint8_t bmp[] = {'B', 'M'};
  const uint8_t other[] = {'M', 'B'};
  EXPECT_EQ(detectPictureFormat(jpeg, 3), PictureFormat::kJpeg);
  EXPECT_EQ(detectPictureFormat(bmp, 2), PictureFormat::kBmp);
  EXPECT_EQ(detectPictureFormat(other, 2), PictureFormat::kUnknown);
  EXPECT_EQ(detectPictureFormat(jpeg, 1), PictureFormat::kUnknown);
  EXPECT_EQ(detectPictureFormat(nullptr, 0), PictureFormat::kUnknown);
  EXPECT_EQ(readPictureMemory(other, 2).error, "The data is not a JPEG, PNG or BMP picture");
}

}  // namespace
