#include "imaging/jpeg_file.h"

#include <gtest/gtest.h>


#include "picture_file_test_support.h"

using namespace picture_test;

namespace {

Picture solid(int width, int height, Colour c) {
  Picture p(width, height);
  p.fill(c);
  return p;
}

PictureResult decodeJpeg(const std::vector<uint8_t>& bytes) {
  return readJpegMemory(bytes.data(), bytes.size());
}

TEST(JpegFile, PureColoursKeepTheirChannels) {
  // A red/blue swap anywhere between Picture, libjpeg and back shows up here.
  for (Colour c : {Colour{255, 0, 0}, Colour{0, 0, 255}, Colour{0, 255, 0}, Colour{255, 255, 0}}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encodeJpeg(solid(32, 24, c), 100, bytes));
    PictureResult r = decodeJpeg(bytes);
    ASSERT_TRUE(r) << r.error;
    EXPECT_LE(channelDistance(r.picture->at(5, 7), c), 2)
        << int(r.picture->at(5, 7).red) << "," << int(r.picture->at(5, 7).green) << ","
        << int(r.picture->at(5, 7).blue);
  }
}

TEST(JpegFile, FileRoundTripAtQuality100StaysClose) {
  ScratchFolder folder;
  const std::string path = folder.file("received.jpg");
  const Picture original = smoothPicture(37, 23);  // sizes that are not multiples of 8 or 16
  std::string error;
  ASSERT_TRUE(writeJpegFile(path, original, 100, &error)) << error;
  PictureResult r = readJpegFile(path);
  ASSERT_TRUE(r) << r.error;
  ASSERT_EQ(r.picture->width(), 37);
  ASSERT_EQ(r.picture->height(), 23);
  long total = 0;
  int worst = 0;
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) {
      int d = channelDistance(r.picture->at(x, y), original.at(x, y));
      total += d;
      worst = std::max(worst, d);
    }
  EXPECT_LE(worst, 8);
  EXPECT_LE(static_cast<double>(total) / (37 * 23), 2.0);
  // Only the final file is left: the temporary file was renamed into place.
  EXPECT_EQ(folder.names(), std::vector<std::string>{"received.jpg"});
}

TEST(JpegFile, WriteReplacesAnExistingFileAndFailsCleanly) {
  ScratchFolder folder;
  const std::string path = folder.file("picture.jpg");
  writeBytes(path, {'o', 'l', 'd'});
  ASSERT_TRUE(writeJpegFile(path, solid(16, 16, colours::white)));
  EXPECT_TRUE(readJpegFile(path));

  std::string error;
  const std::string missingFolder = folder.file("no-such-folder/picture.jpg");
  EXPECT_FALSE(writeJpegFile(missingFolder, solid(16, 16, colours::white), 100, &error));
  EXPECT_NE(error.find(missingFolder), std::string::npos) << error;

  error.clear();
  EXPECT_FALSE(writeJpegFile(folder.file("empty.jpg"), Picture(), 100, &error));
  EXPECT_FALSE(error.empty());

  // A folder in the way: the rename fails and the temporary file is removed again.
  std::filesystem::create_directory(folder.file("taken.jpg"));
  std::filesystem::create_directory(folder.file("taken.jpg/inside"));
  error.clear();
  EXPECT_FALSE(writeJpegFile(folder.file("taken.jpg"), solid(16, 16, colours::white), 100, &error));
  EXPECT_NE(error.find("taken.jpg"), std::string::npos) << error;
  std::vector<std::string> names = folder.names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"picture.jpg", "taken.jpg"}));
}

TEST(JpegFile, ReadsGreyscaleProgressiveCmykAndYcck) {
  const int w = 40, h = 30;
  auto grey = makeJpeg(JpegKind::kGrey, w, h, [](int x, int y, uint8_t* s) { s[0] = uint8_t(x * 6); });
  PictureResult g = decodeJpeg(grey);
  ASSERT_TRUE(g) << g.error;
  Colour c = g.picture->at(20, 10);
  EXPECT_EQ(c.red, c.green);
  EXPECT_EQ(c.green, c.blue);
  EXPECT_NEAR(c.red, 120, 3);

  const Picture original = smoothPicture(w, h);
  auto rgb = [&](int x, int y, uint8_t* s) {
    Colour o = original.at(x, y);
    s[0] = o.red, s[1] = o.green, s[2] = o.blue;
  };
  PictureResult p = decodeJpeg(makeJpeg(JpegKind::kProgressive, w, h, rgb));
  ASSERT_TRUE(p) << p.error;
  PictureResult b = decodeJpeg(makeJpeg(JpegKind::kColour, w, h, rgb));
  ASSERT_TRUE(b) << b.error;
  for (int y = 0; y < h; y += 7)
    for (int x = 0; x < w; x += 5) {
      EXPECT_LE(channelDistance(p.picture->at(x, y), original.at(x, y)), 8);
      EXPECT_LE(channelDistance(p.picture->at(x, y), b.picture->at(x, y)), 2);
    }

  // Stored Adobe CMYK is inverted ink: C=255 (no cyan), M=Y=0 (full), K=255 (no black) is red.
  auto red = [](int, int, uint8_t* s) { s[0] = 255, s[1] = 0, s[2] = 0, s[3] = 255; };
  for (JpegKind kind : {JpegKind::kCmyk, JpegKind::kYcck}) {
    PictureResult r = decodeJpeg(makeJpeg(kind, 16, 16, red));
    ASSERT_TRUE(r) << r.error;
    EXPECT_LE(channelDistance(r.picture->at(8, 8), Colour{255, 0, 0}), 4);
  }
}

// A colour JPEG whose frame header has been patched to claim width x height.
std::vector<uint8_t> withClaimedSize(std::vector<uint8_t> bytes, int width, int height) {
  for (size_t i = 0; i + 9 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
      bytes[i + 5] = uint8_t(height >> 8), bytes[i + 6] = uint8_t(height);
      bytes[i + 7] = uint8_t(width >> 8), bytes[i + 8] = uint8_t(width);
      return bytes;
    }
  ADD_FAILURE() << "no frame header";
  return bytes;
}

TEST(JpegFile, RefusesPicturesAbove100MegapixelsFromTheHeader) {
  std::vector<uint8_t> small;
  ASSERT_TRUE(encodeJpeg(solid(16, 16, colours::white), 90, small));
  PictureResult r = decodeJpeg(withClaimedSize(small, 65000, 60000));
  ASSERT_FALSE(r);
  EXPECT_NE(r.error.find("65000 x 60000"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("100 megapixels"), std::string::npos) << r.error;
  // 10000 x 10000 is exactly the limit and would be accepted; one row more is not.
  EXPECT_FALSE(decodeJpeg(withClaimedSize(small, 10000, 10001)));
}

TEST(JpegFile, DamagedDataFailsOrDegradesWithoutPrinting) {
  const std::vector<uint8_t> sample = readBytes(sampleJpegPath());
  ASSERT_GT(sample.size(), 1000u);
  testing::internal::CaptureStderr();

  // Cut in the middle of the entropy-coded data: the decoded part is kept, the rest is grey.
  std::vector<uint8_t> half(sample.begin(), sample.begin() + sample.size() / 2);
  PictureResult truncated = decodeJpeg(half);
  // Cut inside the headers: nothing to show.
  std::vector<uint8_t> head(sample.begin(), sample.begin() + 40);
  PictureResult headOnly = decodeJpeg(head);
  // Garbage after the start marker.
  std::vector<uint8_t> garbage = {0xFF, 0xD8, 0x12, 0x34, 0x56, 0x78, 0x9A};
  PictureResult bad = decodeJpeg(garbage);
  // Entropy data overwritten with zeros ("corrupt data" warnings).
  std::vector<uint8_t> scrambled = sample;
  for (size_t i = sample.size() / 3; i < sample.size() / 3 + 500; ++i) scrambled[i] = 0;
  PictureResult damaged = decodeJpeg(scrambled);

  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_TRUE(truncated) << truncated.error;
  EXPECT_EQ(truncated.picture->width(), 640);
  EXPECT_EQ(truncated.picture->at(100, 5), decodeJpeg(sample).picture->at(100, 5));
  EXPECT_FALSE(headOnly);
  EXPECT_NE(headOnly.error.find("JPEG"), std::string::npos) << headOnly.error;
  EXPECT_FALSE(bad);
  ASSERT_TRUE(damaged) << damaged.error;
  EXPECT_FALSE(decodeJpeg({}));
  EXPECT_FALSE(readJpegMemory(nullptr, 0));
}

// The progressive file with its first scan repeated `copies` more times. libjpeg only warns
// about a repeated scan, so without a limit every copy would be decoded.
std::vector<uint8_t> withRepeatedFirstScan(const std::vector<uint8_t>& jpeg, int copies) {
  size_t i = 2;
  while (i + 4 <= jpeg.size() && !(jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA))
    i += 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
  size_t end = i + 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
  while (end + 1 < jpeg.size() &&
         !(jpeg[end] == 0xFF && jpeg[end + 1] != 0 && (jpeg[end + 1] < 0xD0 || jpeg[end + 1] > 0xD7)))
    ++end;
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(end));
  for (int c = 0; c < copies; ++c)
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(i),
               jpeg.begin() + static_cast<std::ptrdiff_t>(end));
  out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(end), jpeg.end());
  return out;
}

TEST(JpegFile, RefusesFilesWithThousandsOfScans) {
  auto grey = [](int x, int y, uint8_t* s) { s[0] = uint8_t(x * 8 + y), s[1] = 90, s[2] = 30; };
  const std::vector<uint8_t> progressive = makeJpeg(JpegKind::kProgressive, 24, 16, grey);
  PictureResult some = decodeJpeg(withRepeatedFirstScan(progressive, 20));
  ASSERT_TRUE(some) << some.error;
  PictureResult many = decodeJpeg(withRepeatedFirstScan(progressive, 1200));
  ASSERT_FALSE(many);
  EXPECT_EQ(many.error, "The JPEG picture cannot be read (too many scans in a progressive file)");
}

TEST(JpegFile, FileErrorsNameThePath) {
  ScratchFolder folder;
  const std::string bmpNamedJpg = folder.file("picture.jpg");
  writeBytes(bmpNamedJpg, {'B', 'M', 0, 0, 0, 0});
  PictureResult r = readJpegFile(bmpNamedJpg);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error, "The file is not a JPEG picture: " + bmpNamedJpg);

  const std::string cut = folder.file("cut.jpg");
  std::vector<uint8_t> sample = readBytes(sampleJpegPath());
  writeBytes(cut, std::vector<uint8_t>(sample.begin(), sample.begin() + 30));
  r = readJpegFile(cut);
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error.starts_with("The JPEG picture cannot be read (")) << r.error;
  EXPECT_TRUE(r.error.ends_with(": " + cut)) << r.error;
}

}  // namespace
