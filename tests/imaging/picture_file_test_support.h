#pragma once
// Helpers for the picture file tests: a scratch folder, file writing, bitmaps built byte by
// byte (independently of the program's own writer) and JPEG files made with libjpeg directly.
#include <unistd.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <png.h>
// clang-format on

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "imaging/picture.h"

namespace picture_test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("pelimo-picture-test-" + std::to_string(::getpid()) + "-" +
             std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      out.push_back(e.path().filename().string());
    return out;
  }

 private:
  std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// ---- bitmaps ----

struct BmpSpec {
  int width = 1;
  int height = 1;
  int bitsPerPixel = 24;
  bool topDown = false;
  uint32_t headerSize = 40;   // 12 (core), 40, 108 (V4), 124 (V5)
  uint32_t compression = 0;   // 0 none, 3 colour masks
  std::vector<Colour> palette;
  uint32_t coloursUsed = 0;
  std::vector<uint32_t> masks;  // red, green, blue (compression 3)
  uint8_t paddingByte = 0xA5;  // padding is filled with this, never read as pixels
};

inline void putLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Builds a bitmap; pixel(x, y) (y from the top) gives the raw value of a pixel: a palette
// index, a 16- or 32-bit word, or 0xRRGGBB for 24 bits.
inline std::vector<uint8_t> buildBmp(const BmpSpec& s, const std::function<uint32_t(int, int)>& pixel) {
  const bool core = s.headerSize == 12;
  const bool masksAfterHeader = s.compression == 3 && s.headerSize == 40;
  const int entry = core ? 3 : 4;
  const size_t tableStart = 14 + s.headerSize + (masksAfterHeader ? 12 : 0);
  const size_t offset = tableStart + s.palette.size() * entry;
  const size_t stride = (static_cast<size_t>(s.width) * s.bitsPerPixel + 31) / 32 * 4;

  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  putLe(out, offset + stride * s.height, 4);
  putLe(out, 0, 4);
  putLe(out, offset, 4);
  putLe(out, s.headerSize, 4);
  if (core) {
    putLe(out, s.width, 2);
    putLe(out, s.height, 2);
    putLe(out, 1, 2);
    putLe(out, s.bitsPerPixel, 2);
  } else {
    putLe(out, static_cast<uint32_t>(s.width), 4);
    putLe(out, static_cast<uint32_t>(s.topDown ? -s.height : s.height), 4);
    putLe(out, 1, 2);
    putLe(out, s.bitsPerPixel, 2);
    putLe(out, s.compression, 4);
    putLe(out, stride * s.height, 4);
    putLe(out, 2835, 4);
    putLe(out, 2835, 4);
    putLe(out, s.coloursUsed, 4);
    putLe(out, 0, 4);
    std::vector<uint32_t> masks = s.masks;
    masks.resize(4, 0);
    if (s.headerSize > 40) {
      for (uint32_t i = 40; i < s.headerSize; i += 4) {
        uint32_t field = (i - 40) / 4;
        putLe(out, field < 4 ? masks[field] : 0x11111111u, 4);  // colour space data: noise
      }
    } else if (masksAfterHeader) {
      for (int i = 0; i < 3; ++i) putLe(out, masks[i], 4);
    }
  }
  for (const Colour& c : s.palette) {
    out.push_back(c.blue);
    out.push_back(c.green);
    out.push_back(c.red);
    if (!core) out.push_back(0x77);
  }
  for (int r = 0; r < s.height; ++r) {
    const int y = s.topDown ? r : s.height - 1 - r;
    std::vector<uint8_t> row(stride, s.paddingByte);
    for (int x = 0; x < s.width; ++x) {
      uint32_t v = pixel(x, y);
      switch (s.bitsPerPixel) {
        case 1:
        case 4:
        case 8: {
          size_t bit = static_cast<size_t>(x) * s.bitsPerPixel;
          uint8_t& b = row[bit / 8];
          int shift = 8 - s.bitsPerPixel - static_cast<int>(bit % 8);
          uint8_t mask = static_cast<uint8_t>(((1u << s.bitsPerPixel) - 1) << shift);
          b = static_cast<uint8_t>((b & ~mask) | ((v << shift) & mask));
          break;
        }
        case 16:
          row[x * 2] = static_cast<uint8_t>(v);
          row[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
          break;
        case 24:
          row[x * 3] = static_cast<uint8_t>(v);
          row[x * 3 + 1] = static_cast<uint8_t>(v >> 8);
          row[x * 3 + 2] = static_cast<uint8_t>(v >> 16);
          break;
        case 32:
          for (int i = 0; i < 4; ++i) row[x * 4 + i] = static_cast<uint8_t>(v >> (8 * i));
          break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// ---- JPEG files made with libjpeg itself ----

enum class JpegKind { kColour, kProgressive, kGrey, kCmyk, kYcck };

// components(x, y, out) fills the input sample(s) of one pixel: R, G, B for colour kinds, one
// value for grey, stored C, M, Y, K for the CMYK kinds (written with an Adobe marker, so
// stored values are inverted ink).
inline std::vector<uint8_t> makeJpeg(JpegKind kind, int width, int height,
                                     const std::function<void(int, int, uint8_t*)>& components,
                                     int quality = 100) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  int n = 3;
  switch (kind) {
    case JpegKind::kGrey:
      n = 1;
      cinfo.in_color_space = JCS_GRAYSCALE;
      break;
    case JpegKind::kCmyk:
    case JpegKind::kYcck:
      n = 4;
      cinfo.in_color_space = JCS_CMYK;
      break;
    default:
      cinfo.in_color_space = JCS_RGB;
      break;
  }
  cinfo.input_components = n;
  jpeg_set_defaults(&cinfo);
  if (kind == JpegKind::kYcck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (kind == JpegKind::kProgressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * n);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) components(x, y, &row[static_cast<size_t>(x) * n]);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

// A smooth colour picture (JPEG keeps it closely at high quality).
inline Picture smoothPicture(int width, int height) {
  Picture p(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p.set(x, y,
            Colour{static_cast<uint8_t>(40 + 160 * x / std::max(1, width - 1)),
                   static_cast<uint8_t>(30 + 180 * y / std::max(1, height - 1)),
                   static_cast<uint8_t>(200 - 120 * (x + y) / std::max(1, width + height - 2))});
  return p;
}

inline int channelDistance(Colour a, Colour b) {
  return std::max({std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}

inline std::string sampleJpegPath() {
  return std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg";
}

// A PNG file of width x height pixels in one of libpng's simplified formats
// (PNG_FORMAT_RGB, PNG_FORMAT_GRAY, PNG_FORMAT_RGBA, ...); pixel(x, y, samples) fills one
// pixel's samples in that format's order.
inline std::vector<uint8_t> makePng(uint32_t format, int width, int height,
                                    const std::function<void(int, int, uint8_t*)>& pixel) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = format;
  const int channels = PNG_IMAGE_SAMPLE_CHANNELS(format);
  std::vector<uint8_t> samples(size_t(width) * height * channels);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixel(x, y, &samples[(size_t(y) * width + x) * channels]);
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, samples.data(), 0, nullptr)) out.clear();
  out.resize(size);
  return out;
}

}  // namespace picture_test
