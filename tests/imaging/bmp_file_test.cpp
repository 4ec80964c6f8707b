#include "imaging/bmp_file.h"

#include <gtest/gtest.h>

#include "picture_file_test_support.h"

using namespace picture_test;

namespace {

PictureResult decodeBmp(const std::vector<uint8_t>& bytes) {
  return readBmpMemory(bytes.data(), bytes.size());
}

// Writes a little-endian value into bytes at offset.
void patch(std::vector<uint8_t>& bytes, size_t offset, uint32_t value, int size = 4) {
  for (int i = 0; i < size; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}

// A distinct colour for every position of a small picture.
Colour colourAt(int x, int y) {
  return Colour{uint8_t(10 + x * 20), uint8_t(200 - y * 30), uint8_t((x * 7 + y * 13) & 0xFF)};
}

uint32_t packed24(int x, int y) {
  Colour c = colourAt(x, y);
  return (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | c.blue;
}

void expectPicture(const PictureResult& r, int width, int height,
                   const std::function<Colour(int, int)>& expected) {
  ASSERT_TRUE(r) << r.error;
  ASSERT_EQ(r.picture->width(), width);
  ASSERT_EQ(r.picture->height(), height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      ASSERT_EQ(r.picture->at(x, y), expected(x, y)) << "at " << x << "," << y;
}

TEST(BmpFile, Reads24BitRowsInBothOrdersWithRowPadding) {
  for (int width : {1, 2, 3, 5, 7}) {
    for (bool topDown : {false, true}) {
      BmpSpec s;
      s.width = width;
      s.height = 6;
      s.topDown = topDown;
      SCOPED_TRACE(testing::Message() << "width " << width << (topDown ? " top-down" : " bottom-up"));
      expectPicture(decodeBmp(buildBmp(s, packed24)), width, 6, colourAt);
    }
  }
}

TEST(BmpFile, ReadsCoreHeaderWithThreeByteTable) {
  BmpSpec s;
  s.headerSize = 12;
  s.width = 5;
  s.height = 3;
  expectPicture(decodeBmp(buildBmp(s, packed24)), 5, 3, colourAt);

  s.bitsPerPixel = 8;
  s.palette = {Colour{1, 2, 3}, Colour{250, 0, 5}, Colour{0, 128, 255}};
  // The core header has no colour count: the table ends where the pixels start.
  expectPicture(decodeBmp(buildBmp(s, [](int x, int y) { return uint32_t((x + y) % 3); })), 5, 3,
                [&](int x, int y) { return s.palette[(x + y) % 3]; });
}

TEST(BmpFile, ReadsPalettedPictures) {
  for (int bits : {1, 4, 8}) {
    const int colours = 1 << bits;
    BmpSpec s;
    s.bitsPerPixel = bits;
    s.width = 13;  // leaves a partial byte and padding in every row
    s.height = 5;
    for (int i = 0; i < std::min(colours, 40); ++i)
      s.palette.push_back(Colour{uint8_t(i * 6), uint8_t(255 - i * 6), uint8_t(i * 3 + 1)});
    s.coloursUsed = colours > 40 ? 40 : 0;
    const int used = static_cast<int>(s.palette.size());
    SCOPED_TRACE(testing::Message() << bits << " bits");
    auto index = [&](int x, int y) { return uint32_t((x * 3 + y) % used); };
    expectPicture(decodeBmp(buildBmp(s, index)), 13, 5,
                  [&](int x, int y) { return s.palette[index(x, y)]; });
  }
}

TEST(BmpFile, IndexBeyondTheTableReadsBlack) {
  BmpSpec s;
  s.bitsPerPixel = 8;
  s.width = 2;
  s.palette = {Colour{9, 9, 9}};
  s.coloursUsed = 1;
  expectPicture(decodeBmp(buildBmp(s, [](int x, int) { return uint32_t(x * 200); })), 2, 1,
                [](int x, int) { return x == 0 ? Colour{9, 9, 9} : colours::black; });
}

TEST(BmpFile, Reads16And32BitPixelsWithAndWithoutMasks) {
  // 32 bits, no masks: blue, green, red, unused (the unused byte must be ignored).
  BmpSpec s;
  s.bitsPerPixel = 32;
  s.width = 3;
  s.height = 2;
  expectPicture(decodeBmp(buildBmp(s, [](int x, int y) { return 0xEE000000u | packed24(x, y); })), 3,
                2, colourAt);

  // 32 bits with masks in an unusual order, V5 header (masks inside the header).
  s.headerSize = 124;
  s.compression = 3;
  s.masks = {0x0000FF00u, 0xFF000000u, 0x00FF0000u};
  auto shuffled = [](int x, int y) {
    Colour c = colourAt(x, y);
    return (uint32_t(c.red) << 8) | (uint32_t(c.green) << 24) | (uint32_t(c.blue) << 16) | 0x5Au;
  };
  expectPicture(decodeBmp(buildBmp(s, shuffled)), 3, 2, colourAt);

  // 16 bits, default 5-5-5: full-scale 31 must read as 255.
  BmpSpec s16;
  s16.bitsPerPixel = 16;
  s16.width = 3;  // 6 bytes of pixels, 2 of padding
  auto pixel555 = [](int x, int) { return x == 0 ? 0x7C00u : x == 1 ? 0x03E0u : 0x8010u; };
  expectPicture(decodeBmp(buildBmp(s16, pixel555)), 3, 1, [](int x, int) {
    return x == 0 ? Colour{255, 0, 0} : x == 1 ? Colour{0, 255, 0} : Colour{0, 0, 132};
  });

  // 16 bits, 5-6-5 masks after a 40-byte header.
  s16.compression = 3;
  s16.masks = {0xF800, 0x07E0, 0x001F};
  auto pixel565 = [](int x, int) { return x == 0 ? 0xF800u : x == 1 ? 0x07E0u : 0x0410u; };
  expectPicture(decodeBmp(buildBmp(s16, pixel565)), 3, 1, [](int x, int) {
    return x == 0 ? Colour{255, 0, 0} : x == 1 ? Colour{0, 255, 0} : Colour{0, 130, 132};
  });
}

// An RLE-compressed bitmap: headers and table from buildBmp, pixel data replaced by rle.
std::vector<uint8_t> rleBitmap(int bits, int width, int height, const std::vector<uint8_t>& rle) {
  BmpSpec s;
  s.bitsPerPixel = bits;
  s.width = width;
  s.height = height;
  s.compression = bits == 8 ? 1 : 2;
  for (int i = 0; i < 16; ++i) s.palette.push_back(Colour{uint8_t(i * 16), uint8_t(i), 7});
  std::vector<uint8_t> bytes = buildBmp(s, [](int, int) { return 0u; });
  bytes.resize(14 + 40 + 16 * 4);
  bytes.insert(bytes.end(), rle.begin(), rle.end());
  return bytes;
}

TEST(BmpFile, ReadsRleCompressedPictures) {
  auto c = [](int i) { return Colour{uint8_t(i * 16), uint8_t(i), 7}; };
  // Bottom row: run of three 5s, literal 1 2 3 (padded), end of row. Next row: delta two right
  // and one up, skipping to the top row, where a run of six 9s is cut off by the edge; end.
  const std::vector<uint8_t> rle8 = {3, 5, 0, 3, 1, 2, 3, 0, 0, 0,
                                     0, 2, 2, 1, 6, 9, 0, 1};
  const Colour k = colours::black;
  const std::vector<std::vector<Colour>> expected8 = {
      {k, k, k, k, k, k},                          // top row: x = 2..5 get the 9s
      {k, k, k, k, k, k},                          // middle row: skipped by the delta
      {c(5), c(5), c(5), c(1), c(2), c(3)},        // bottom row
  };
  PictureResult r = decodeBmp(rleBitmap(8, 6, 3, rle8));
  ASSERT_TRUE(r) << r.error;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) {
      Colour want = (y == 0 && x >= 2) ? c(9) : expected8[y][x];
      EXPECT_EQ(r.picture->at(x, y), want) << x << "," << y;
    }

  // RLE4: a run alternates the two nibbles; a literal of five indexes takes three bytes and is
  // padded to four. Data that ends early leaves the rest black.
  const std::vector<uint8_t> rle4 = {5, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 2, 0xFF};
  r = decodeBmp(rleBitmap(4, 10, 2, rle4));
  ASSERT_TRUE(r) << r.error;
  const int bottom[10] = {1, 2, 1, 2, 1, 3, 4, 5, 6, 7};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(r.picture->at(x, 1), c(bottom[x])) << x;
  EXPECT_EQ(r.picture->at(0, 0), c(15));
  EXPECT_EQ(r.picture->at(1, 0), c(15));
  EXPECT_EQ(r.picture->at(2, 0), k);

  // RLE needs the matching depth and bottom-up rows.
  std::vector<uint8_t> wrongDepth = rleBitmap(8, 6, 3, rle8);
  patch(wrongDepth, 30, 2);
  EXPECT_NE(decodeBmp(wrongDepth).error.find("does not match"), std::string::npos);
  std::vector<uint8_t> topDown = rleBitmap(8, 6, 3, rle8);
  patch(topDown, 22, uint32_t(-3));
  EXPECT_NE(decodeBmp(topDown).error.find("top-down"), std::string::npos);
}

TEST(BmpFile, AcceptsAMissingFinalRowPadding) {
  BmpSpec s;
  s.width = 5;  // 15 bytes of pixels + 1 byte of padding per row
  s.height = 4;
  std::vector<uint8_t> bytes = buildBmp(s, packed24);
  bytes.pop_back();
  expectPicture(decodeBmp(bytes), 5, 4, colourAt);
  bytes.pop_back();  // now a pixel byte is missing
  PictureResult r = decodeBmp(bytes);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error, "The BMP picture is truncated");
}

TEST(BmpFile, RefusesWhatItCannotReadWithAReason) {
  BmpSpec s;
  s.width = 4;
  s.height = 4;
  const std::vector<uint8_t> good = buildBmp(s, packed24);
  ASSERT_TRUE(decodeBmp(good));
  auto refusal = [&](const std::function<void(std::vector<uint8_t>&)>& change) {
    std::vector<uint8_t> bytes = good;
    change(bytes);
    PictureResult r = decodeBmp(bytes);
    EXPECT_FALSE(r);
    return r.error;
  };
  EXPECT_NE(refusal([](auto& b) { patch(b, 30, 1); }).find("RLE"), std::string::npos);  // 24-bit
  EXPECT_NE(refusal([](auto& b) { patch(b, 30, 4); }).find("JPEG"), std::string::npos);
  EXPECT_NE(refusal([](auto& b) { patch(b, 30, 5); }).find("PNG"), std::string::npos);
  EXPECT_NE(refusal([](auto& b) { patch(b, 30, 3); }).find("24-bit"), std::string::npos);
  EXPECT_NE(refusal([](auto& b) { patch(b, 28, 2, 2); }).find("2 bits"), std::string::npos);
  EXPECT_NE(refusal([](auto& b) { patch(b, 14, 20); }).find("header (20 bytes)"), std::string::npos);
  EXPECT_NE(refusal([](auto& b) { patch(b, 18, 0); }).find("no pixels"), std::string::npos);
  EXPECT_NE(refusal([](auto& b) { patch(b, 22, 0x80000000u); }).find("too large"),
            std::string::npos);
  EXPECT_NE(refusal([](auto& b) { patch(b, 10, 0xFFFFFFF0u); }).find("truncated"),
            std::string::npos);
  EXPECT_NE(refusal([](auto& b) { b.resize(30); }).find("truncated"), std::string::npos);
  EXPECT_FALSE(decodeBmp({'B'}));
  EXPECT_FALSE(decodeBmp({0xFF, 0xD8, 0xFF}));
  EXPECT_FALSE(readBmpMemory(nullptr, 0));

  // Masks that are not one contiguous run of bits cannot be scaled to 8 bits.
  BmpSpec masked;
  masked.bitsPerPixel = 32;
  masked.compression = 3;
  masked.masks = {0x00FF00FFu, 0x0000FF00u, 0};
  PictureResult r = decodeBmp(buildBmp(masked, [](int, int) { return 0u; }));
  ASSERT_FALSE(r);
  EXPECT_NE(r.error.find("colour masks"), std::string::npos);
}

TEST(BmpFile, RefusesHugeDimensionsFromTheHeaderAlone) {
  BmpSpec s;
  s.width = 2;
  s.height = 2;
  std::vector<uint8_t> bytes = buildBmp(s, packed24);
  patch(bytes, 18, 100000);
  patch(bytes, 22, 100000);
  // 30 gigabytes of pixels would be needed; the refusal must come before any allocation.
  PictureResult r = decodeBmp(bytes);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error,
            "The picture is too large (100000 x 100000 pixels); the limit is 100 megapixels");
  // Within the pixel limit but far beyond the data: truncated, not allocated.
  patch(bytes, 18, 10000);
  patch(bytes, 22, 0xFFFFD8F0u);  // -10000: top-down
  r = decodeBmp(bytes);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error, "The BMP picture is truncated");
}

TEST(BmpFile, WriterProducesA24BitBottomUpFileThatReadsBack) {
  Picture p(7, 3);  // 21 bytes per row, padded to 24
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) p.set(x, y, colourAt(x, y));
  std::vector<uint8_t> bytes = encodeBmp(p);
  ASSERT_EQ(bytes.size(), 54u + 24 * 3);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[28], 24);
  // The first stored row is the bottom one, blue first.
  EXPECT_EQ(bytes[54], colourAt(0, 2).blue);
  EXPECT_EQ(bytes[56], colourAt(0, 2).red);

  ScratchFolder folder;
  const std::string path = folder.file("TxImage.bmp");
  std::string error;
  ASSERT_TRUE(writeBmpFile(path, p, &error)) << error;
  PictureResult r = readBmpFile(path);
  ASSERT_TRUE(r) << r.error;
  EXPECT_EQ(*r.picture, p);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"TxImage.bmp"});
  EXPECT_FALSE(writeBmpFile(folder.file("empty.bmp"), Picture(), &error));
  EXPECT_FALSE(error.empty());
}

TEST(BmpFile, FileErrorsNameThePath) {
  ScratchFolder folder;
  const std::string path = folder.file("broken.bmp");
  BmpSpec s;
  std::vector<uint8_t> bytes = buildBmp(s, packed24);
  patch(bytes, 30, 9);
  writeBytes(path, bytes);
  PictureResult r = readBmpFile(path);
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error.ends_with(": " + path)) << r.error;
  EXPECT_EQ(readBmpFile(PELIMO_SOURCE_DIR "/assets/sample-640x480.jpg").error,
            "The file is not a BMP picture: " PELIMO_SOURCE_DIR "/assets/sample-640x480.jpg");
}

}  // namespace

namespace {

TEST(BmpFile, RefusesPixelsInsideTheHeaderOrAStatedColourTable) {
  BmpSpec s;
  s.bitsPerPixel = 8;
  s.width = 4;
  s.height = 2;
  for (int i = 0; i < 16; ++i) s.palette.push_back(Colour{uint8_t(i), 0, 0});
  s.coloursUsed = 16;
  const auto pixel = [](int x, int) { return uint32_t(x); };
  ASSERT_TRUE(decodeBmp(buildBmp(s, pixel)));

  std::vector<uint8_t> overlap = buildBmp(s, pixel);
  patch(overlap, 10, 14 + 40 + 8 * 4);  // the pixels would start at the table's ninth entry
  EXPECT_EQ(decodeBmp(overlap).error, "The BMP picture's colour table overlaps its pixel data");

  std::vector<uint8_t> header = buildBmp(s, pixel);
  patch(header, 10, 30);
  EXPECT_EQ(decodeBmp(header).error, "The BMP picture's pixel data would start inside its header");
}

}  // namespace
