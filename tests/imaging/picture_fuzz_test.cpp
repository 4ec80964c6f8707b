// Deterministic mutation fuzzing of the picture readers: byte flips, truncations, inserted
// garbage and overwritten header fields over real JPEG, PNG and BMP files. Each case must end in a
// picture or a message, never a crash (the sanitizer build catches out-of-bounds access).
#include <gtest/gtest.h>

#include <random>

#include "imaging/bmp_file.h"
#include "imaging/jpeg_file.h"
#include "imaging/picture_file.h"
#include "picture_file_test_support.h"

using namespace picture_test;

namespace {

std::vector<uint8_t> mutate(const std::vector<uint8_t>& seed, std::mt19937& random) {
  std::vector<uint8_t> data = seed;
  auto position = [&](size_t size) {
    return size == 0 ? size_t{0} : std::uniform_int_distribution<size_t>(0, size - 1)(random);
  };
  auto byte = [&] { return static_cast<uint8_t>(random() & 0xFF); };
  // Mutations near the start hit the headers, where most of the parsing happens.
  auto headerPosition = [&] { return position(std::min<size_t>(data.size(), 700)); };
  const int steps = 1 + static_cast<int>(random() % 4);
  for (int s = 0; s < steps && !data.empty(); ++s) {
    switch (random() % 7) {
      case 0:  // flip bits anywhere
        data[position(data.size())] ^= static_cast<uint8_t>(1u << (random() % 8));
        break;
      case 1:  // random bytes in the headers
        for (int i = 0; i < 4; ++i) data[headerPosition()] = byte();
        break;
      case 2:  // truncate
        data.resize(position(data.size()));
        break;
      case 3: {  // insert garbage
        std::vector<uint8_t> garbage(1 + random() % 64);
        for (uint8_t& b : garbage) b = byte();
        data.insert(data.begin() + static_cast<std::ptrdiff_t>(position(data.size())),
                    garbage.begin(), garbage.end());
        break;
      }
      case 4: {  // extreme values in a 16- or 32-bit field
        size_t at = headerPosition();
        const uint8_t fill = (random() & 1) ? 0xFF : 0x00;
        for (size_t i = at; i < std::min(data.size(), at + 2 + 2 * (random() % 2)); ++i)
          data[i] = fill;
        break;
      }
      case 5: {  // remove a run of bytes
        size_t at = position(data.size());
        size_t count = std::min<size_t>(data.size() - at, 1 + random() % 32);
        data.erase(data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + count));
        break;
      }
      default: {  // copy a chunk over another place (duplicated markers and tables)
        size_t from = position(data.size()), to = position(data.size());
        size_t count = std::min({data.size() - from, data.size() - to, size_t{1} + random() % 48});
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(from), count,
                    data.begin() + static_cast<std::ptrdiff_t>(to));
        break;
      }
    }
  }
  return data;
}

void fuzz(const std::vector<uint8_t>& seed, int iterations, uint32_t randomSeed,
          int decodedShareDivisor = 20) {
  ASSERT_FALSE(seed.empty());
  ASSERT_TRUE(readPictureMemory(seed.data(), seed.size()));
  std::mt19937 random(randomSeed);
  int decoded = 0;
  for (int i = 0; i < iterations; ++i) {
    const std::vector<uint8_t> data = mutate(seed, random);
    PictureResult r = readPictureMemory(data.data(), data.size());
    if (r) {
      ++decoded;
      ASSERT_FALSE(r.picture->empty());
      ASSERT_LE(int64_t{r.picture->width()} * r.picture->height(), kMaxPicturePixels);
      ASSERT_EQ(r.picture->bytes().size(), size_t(r.picture->width()) * r.picture->height() * 3);
    } else {
      ASSERT_FALSE(r.error.empty()) << "iteration " << i;
    }
  }
  // Most single mutations leave a readable picture; all of them failing would mean the
  // mutations never reach the pixel decoding.
  EXPECT_GT(decoded, iterations / decodedShareDivisor);
}

std::vector<uint8_t> smallJpeg(JpegKind kind) {
  const Picture p = smoothPicture(48, 40);
  return makeJpeg(kind, 48, 40, [&](int x, int y, uint8_t* s) {
    Colour c = p.at(x, y);
    s[0] = c.red;
    if (kind == JpegKind::kGrey) return;
    s[1] = c.green, s[2] = c.blue;
    if (kind == JpegKind::kCmyk) s[3] = 200;
  }, 85);
}

TEST(PictureFuzz, SampleJpegSurvivesMutation) { fuzz(readBytes(sampleJpegPath()), 300, 1); }

TEST(PictureFuzz, SmallJpegsSurviveMutation) {
  fuzz(smallJpeg(JpegKind::kColour), 1500, 2);
  fuzz(smallJpeg(JpegKind::kProgressive), 1500, 3);
  fuzz(smallJpeg(JpegKind::kGrey), 500, 4);
  fuzz(smallJpeg(JpegKind::kCmyk), 500, 5);
}

TEST(PictureFuzz, PngsSurviveMutation) {
  // Every PNG chunk carries a check, so most mutations are refused before any pixel is
  // decoded; still some must get through to the pixel rows.
  // Each format's pixel has its own number of samples: grey 1, colour 3, with alpha 4.
  const auto pixel = [](int channels) {
    return [channels](int x, int y, uint8_t* s) {
      const uint8_t values[4] = {uint8_t(x * 9), uint8_t(y * 13), uint8_t(x ^ y), uint8_t(x * y)};
      std::copy_n(values, channels, s);
    };
  };
  fuzz(makePng(PNG_FORMAT_RGB, 19, 7, pixel(3)), 1000, 11, 100);
  fuzz(makePng(PNG_FORMAT_RGBA, 9, 5, pixel(4)), 500, 12, 100);
  fuzz(makePng(PNG_FORMAT_GRAY, 13, 6, pixel(1)), 500, 13, 100);
}

TEST(PictureFuzz, BitmapsSurviveMutation) {
  auto index = [](int x, int y) { return uint32_t((x * 5 + y * 3) % 16); };
  BmpSpec palette;
  palette.bitsPerPixel = 4;
  palette.width = 21;
  palette.height = 9;
  for (int i = 0; i < 16; ++i) palette.palette.push_back(Colour{uint8_t(i * 16), 40, uint8_t(255 - i)});
  fuzz(buildBmp(palette, index), 1500, 6);

  palette.bitsPerPixel = 8;
  palette.headerSize = 12;
  fuzz(buildBmp(palette, index), 700, 7);

  BmpSpec masked;
  masked.bitsPerPixel = 16;
  masked.compression = 3;
  masked.masks = {0xF800, 0x07E0, 0x001F};
  masked.width = 11;
  masked.height = 7;
  fuzz(buildBmp(masked, [](int x, int y) { return uint32_t(x * 977 + y * 131); }), 700, 8);

  fuzz(encodeBmp(smoothPicture(17, 13)), 1000, 9);

  // RLE8: runs, literals, deltas and row ends over a 16-colour table.
  BmpSpec rle;
  rle.bitsPerPixel = 8;
  rle.compression = 1;
  rle.width = 12;
  rle.height = 6;
  rle.palette = palette.palette;
  std::vector<uint8_t> bytes = buildBmp(rle, [](int, int) { return 0u; });
  bytes.resize(14 + 40 + 16 * 4);
  const uint8_t data[] = {4, 1, 0, 5, 1, 2, 3, 4, 5, 0, 3, 9, 0, 0, 0, 2, 3, 1,
                          6, 7, 0, 0, 12, 3, 0, 0, 5, 0x0F, 0, 1};
  bytes.insert(bytes.end(), std::begin(data), std::end(data));
  fuzz(bytes, 1000, 10);
}

}  // namespace
