#include "imaging/png_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "imaging/picture_file.h"
#include "picture_file_test_support.h"

using namespace picture_test;

namespace {

std::vector<uint8_t> colourPng(int width, int height) {
  return makePng(PNG_FORMAT_RGB, width, height, [](int x, int y, uint8_t* s) {
    s[0] = uint8_t(x * 7), s[1] = uint8_t(y * 5), s[2] = uint8_t(200 - x);
  });
}

// The PNG with its header's width and height replaced (and the header's check fixed).
std::vector<uint8_t> withSize(std::vector<uint8_t> png, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = uint8_t(width >> (24 - 8 * i));
    png[20 + i] = uint8_t(height >> (24 - 8 * i));
  }
  const uint32_t crc = uint32_t(crc32(0, png.data() + 12, 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = uint8_t(crc >> (24 - 8 * i));
  return png;
}

TEST(PngFile, ReadsColourGreyAndTransparentPicturesPixelForPixel) {
  const std::vector<uint8_t> colour = colourPng(23, 11);
  PictureResult r = readPngMemory(colour.data(), colour.size());
  ASSERT_TRUE(r) << r.error;
  ASSERT_EQ(r.picture->width(), 23);
  ASSERT_EQ(r.picture->height(), 11);
  EXPECT_EQ(r.picture->at(0, 0), (Colour{0, 0, 200}));
  EXPECT_EQ(r.picture->at(22, 10), (Colour{154, 50, 178}));

  const std::vector<uint8_t> grey =
      makePng(PNG_FORMAT_GRAY, 4, 3, [](int x, int y, uint8_t* s) { s[0] = uint8_t(60 * x + y); });
  r = readPngMemory(grey.data(), grey.size());
  ASSERT_TRUE(r) << r.error;
  EXPECT_EQ(r.picture->at(3, 2), (Colour{182, 182, 182}));

  // Transparency is laid over white: clear pixels come out white, opaque ones as they are.
  const std::vector<uint8_t> rgba = makePng(PNG_FORMAT_RGBA, 2, 1, [](int x, int, uint8_t* s) {
    s[0] = 10, s[1] = 20, s[2] = 30, s[3] = x == 0 ? 0 : 255;
  });
  r = readPngMemory(rgba.data(), rgba.size());
  ASSERT_TRUE(r) << r.error;
  EXPECT_EQ(r.picture->at(0, 0), colours::white);
  EXPECT_EQ(r.picture->at(1, 0), (Colour{10, 20, 30}));

  // Found by content like the other kinds.
  EXPECT_EQ(detectPictureFormat(colour.data(), colour.size()), PictureFormat::kPng);
  EXPECT_TRUE(readPictureMemory(colour.data(), colour.size()));
}

TEST(PngFile, DamagedTruncatedAndHugeFilesGiveOneLineMessages) {
  ScratchFolder folder;
  const std::vector<uint8_t> good = colourPng(40, 30);
  std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  std::vector<uint8_t> badCheck = good;
  badCheck[30] ^= 0x55;  // the header's check no longer fits
  const std::vector<uint8_t> huge = withSize(good, 20000, 20000);
  const std::vector<uint8_t> signatureOnly(good.begin(), good.begin() + 8);

  for (const auto& [name, bytes, expected] :
       std::vector<std::tuple<std::string, std::vector<uint8_t>, std::string>>{
           {"truncated.png", truncated, "The PNG picture cannot be read ("},
           {"badcheck.png", badCheck, "The PNG picture cannot be read ("},
           {"huge.png", huge, "The picture is too large (20000 x 20000 pixels)"},
           {"signature.png", signatureOnly, "The PNG picture cannot be read ("}}) {
    const std::string path = folder.file(name);
    writeBytes(path, bytes);
    const PictureResult r = readPngFile(path);
    EXPECT_FALSE(r) << name;
    EXPECT_TRUE(r.error.starts_with(expected)) << name << ": " << r.error;
    EXPECT_TRUE(r.error.ends_with(": " + path)) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
  }
  const uint8_t notPng[] = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(readPngMemory(notPng, sizeof notPng).error, "The data is not a PNG picture");
  EXPECT_FALSE(readPngMemory(nullptr, 0));
}

TEST(PngFile, NamesChooseTheReaderInAnyCase) {
  EXPECT_EQ(pictureFormatByName("/a/b.PNG"), PictureFormat::kPng);
  EXPECT_EQ(pictureFormatByName("x.Jpeg"), PictureFormat::kJpeg);
  EXPECT_EQ(pictureFormatByName("x.JFIF"), PictureFormat::kJpeg);
  EXPECT_EQ(pictureFormatByName("x.jpg"), PictureFormat::kJpeg);
  EXPECT_EQ(pictureFormatByName("x.Bmp"), PictureFormat::kBmp);
  EXPECT_EQ(pictureFormatByName("x.gif"), PictureFormat::kUnknown);
  EXPECT_EQ(pictureFormatByName("png"), PictureFormat::kUnknown);
  EXPECT_EQ(pictureFormatByName("dir.png/picture"), PictureFormat::kUnknown);

  ScratchFolder folder;
  const std::string png = folder.file("Photo.Png");
  writeBytes(png, colourPng(5, 4));
  const PictureResult r = readPictureFileByName(png);
  ASSERT_TRUE(r) << r.error;
  EXPECT_EQ(r.picture->width(), 5);
  // The reader follows the name: a PNG named .jpg is not taken as a JPEG.
  const std::string misnamed = folder.file("photo.jpg");
  writeBytes(misnamed, colourPng(5, 4));
  EXPECT_FALSE(readPictureFileByName(misnamed));
  EXPECT_EQ(readPictureFileByName(folder.file("a.gif")).error,
            folder.file("a.gif") + ": pictures are taken only from files named .jpg, .jpeg, .jfif, .png or .bmp");
}

}  // namespace
