#include "imaging/bmp_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <new>

#include "core/file_bytes.h"

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiJpeg = 4;
constexpr uint32_t kBiPng = 5;
constexpr uint32_t kBiAlphaBitfields = 6;

constexpr uint64_t kFileHeaderSize = 14;
constexpr uint64_t kCoreHeaderSize = 12;
constexpr uint64_t kInfoHeaderSize = 40;
constexpr uint64_t kOs2HeaderSize = 64;
// Larger headers exist only as V4 (108) and V5 (124); anything beyond this is not a bitmap.
constexpr uint64_t kMaxHeaderSize = 1024;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// One colour channel of a 16- or 32-bit pixel, given by a contiguous bit mask.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint64_t maximum = 0;  // 0 when the channel is absent (reads as 0)

  // False for a mask whose bits are not contiguous.
  bool set(uint32_t m) {
    mask = m;
    if (m == 0) return true;
    shift = std::countr_zero(m);
    uint32_t field = m >> shift;
    if ((field & (field + 1)) != 0) return false;
    maximum = field;
    return true;
  }
  uint8_t read(uint32_t pixel) const {
    if (maximum == 0) return 0;
    uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + maximum / 2) / maximum);
  }
};

struct Layout {
  int64_t width = 0;
  int64_t height = 0;
  bool topDown = false;
  int bitsPerPixel = 0;
  uint32_t compression = kBiRgb;
  uint64_t headerSize = 0;
  uint64_t paletteStart = 0;
  uint64_t paletteEntrySize = 4;
  uint64_t coloursUsed = 0;
  Channel red, green, blue;
};

std::string describeCompression(uint32_t compression) {
  switch (compression) {
    case kBiJpeg:
    case kBiPng:
      return "BMP pictures with JPEG or PNG data inside are not supported";
    default:
      return "The BMP picture uses an unknown compression (" + std::to_string(compression) + ")";
  }
}

bool isRle(const Layout& l) { return l.compression == kBiRle8 || l.compression == kBiRle4; }

// Reads the headers and colour masks; fills error and returns false when unusable.
bool readLayout(const uint8_t* data, uint64_t size, Layout& l, std::string& error) {
  const std::string truncated = "The BMP picture is truncated";
  if (size < kFileHeaderSize + 4) {
    error = truncated;
    return false;
  }
  l.headerSize = le32(data + 14);
  const uint8_t* h = data + kFileHeaderSize;
  if (l.headerSize == kCoreHeaderSize) {
    if (size < kFileHeaderSize + kCoreHeaderSize) {
      error = truncated;
      return false;
    }
    l.width = le16(h + 4);
    l.height = le16(h + 6);
    l.bitsPerPixel = le16(h + 10);
    l.paletteEntrySize = 3;
  } else if (l.headerSize >= kInfoHeaderSize && l.headerSize <= kMaxHeaderSize) {
    if (size < kFileHeaderSize + l.headerSize) {
      error = truncated;
      return false;
    }
    l.width = static_cast<int32_t>(le32(h + 4));
    l.height = static_cast<int32_t>(le32(h + 8));
    l.bitsPerPixel = le16(h + 14);
    l.compression = le32(h + 16);
    l.coloursUsed = le32(h + 32);
  } else {
    error = "The BMP picture has an unsupported header (" + std::to_string(l.headerSize) +
            " bytes)";
    return false;
  }
  if (l.height < 0) {
    l.topDown = true;
    l.height = -l.height;
  }
  if (!pictureSizeAllowed(l.width, l.height, error)) return false;

  // OS/2's 64-byte header numbers its compressions differently; only "none" is accepted.
  if (l.headerSize == kOs2HeaderSize && l.compression != kBiRgb) {
    error = "Compressed OS/2 BMP pictures are not supported";
    return false;
  }
  const bool masked = l.compression == kBiBitfields || l.compression == kBiAlphaBitfields;
  if (isRle(l)) {
    if (l.bitsPerPixel != (l.compression == kBiRle8 ? 8 : 4)) {
      error = "The BMP picture's RLE compression does not match its colour depth (" +
              std::to_string(l.bitsPerPixel) + " bits per pixel)";
      return false;
    }
    if (l.topDown) {
      error = "The BMP picture is RLE-compressed with top-down rows, which is not allowed";
      return false;
    }
  } else if (l.compression != kBiRgb && !masked) {
    error = describeCompression(l.compression);
    return false;
  }
  switch (l.bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (!masked) break;
      [[fallthrough]];
    case 16:
    case 32:
      if (l.bitsPerPixel == 16 || l.bitsPerPixel == 32) break;
      error = "The BMP picture has colour masks on " + std::to_string(l.bitsPerPixel) +
              "-bit pixels, which is not supported";
      return false;
    default:
      error = "The BMP picture has an unsupported colour depth (" +
              std::to_string(l.bitsPerPixel) + " bits per pixel)";
      return false;
  }

  l.paletteStart = kFileHeaderSize + l.headerSize;
  uint32_t masks[3];
  if (masked) {
    // The info header (40 bytes) is followed by the masks; larger headers hold them inside.
    uint64_t maskStart = kFileHeaderSize + kInfoHeaderSize;
    if (l.headerSize == kInfoHeaderSize) {
      uint64_t maskBytes = l.compression == kBiAlphaBitfields ? 16 : 12;
      l.paletteStart += maskBytes;
    } else if (l.headerSize < kInfoHeaderSize + 12) {
      error = "The BMP picture's colour masks are missing";
      return false;
    }
    if (maskStart + 12 > size) {
      error = truncated;
      return false;
    }
    for (int i = 0; i < 3; ++i) masks[i] = le32(data + maskStart + 4 * i);
  } else if (l.bitsPerPixel == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else {
    masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
  }
  if (l.bitsPerPixel == 16 || l.bitsPerPixel == 32) {
    const uint32_t limit = l.bitsPerPixel == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    if ((masks[0] | masks[1] | masks[2]) & ~limit || !l.red.set(masks[0]) ||
        !l.green.set(masks[1]) || !l.blue.set(masks[2])) {
      error = "The BMP picture has unusable colour masks";
      return false;
    }
  }
  return true;
}

// The size of the colour table the header announces.
uint64_t paletteBytes(const Layout& l) {
  uint64_t entries = uint64_t{1} << l.bitsPerPixel;
  if (l.coloursUsed != 0) entries = std::min(entries, l.coloursUsed);
  return entries * l.paletteEntrySize;
}

// Fills palette (blue, green, red) from the colour table; missing entries stay black.
bool readPalette(const uint8_t* data, uint64_t size, uint64_t pixelStart, const Layout& l,
                 std::array<Colour, 256>& palette, std::string& error) {
  palette.fill(colours::black);
  const uint64_t expected = paletteBytes(l) / l.paletteEntrySize;
  // The table ends where the pixels start (when that is after it), or at the end of the data.
  uint64_t end = pixelStart > l.paletteStart ? pixelStart : size;
  end = std::min(end, size);
  uint64_t available = end > l.paletteStart ? (end - l.paletteStart) / l.paletteEntrySize : 0;
  uint64_t count = std::min(expected, available);
  if (count == 0) {
    error = "The BMP picture's colour table is missing";
    return false;
  }
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* e = data + l.paletteStart + i * l.paletteEntrySize;
    palette[i] = Colour{e[2], e[1], e[0]};
  }
  return true;
}

void decodeRow(const uint8_t* in, const Layout& l, const std::array<Colour, 256>& palette,
               uint8_t* out) {
  const int64_t width = l.width;
  switch (l.bitsPerPixel) {
    case 1:
    case 4:
    case 8: {
      const int bits = l.bitsPerPixel;
      const unsigned mask = (1u << bits) - 1;
      for (int64_t x = 0; x < width; ++x, out += 3) {
        uint64_t bit = static_cast<uint64_t>(x) * bits;
        unsigned index = (in[bit / 8] >> (8 - bits - bit % 8)) & mask;
        const Colour& c = palette[index];
        out[0] = c.blue, out[1] = c.green, out[2] = c.red;
      }
      break;
    }
    case 16:
      for (int64_t x = 0; x < width; ++x, in += 2, out += 3) {
        uint32_t p = le16(in);
        out[0] = l.blue.read(p), out[1] = l.green.read(p), out[2] = l.red.read(p);
      }
      break;
    case 24:
      std::copy(in, in + width * 3, out);
      break;
    case 32:
      for (int64_t x = 0; x < width; ++x, in += 4, out += 3) {
        uint32_t p = le32(in);
        out[0] = l.blue.read(p), out[1] = l.green.read(p), out[2] = l.red.read(p);
      }
      break;
  }
}

// Expands RLE8 or RLE4 data (bottom-up rows) into picture, which starts out black. Pixels the
// data leaves out (skipped by a delta, or after a premature end of the data) stay black;
// positions outside the picture are ignored.
void decodeRle(const uint8_t* data, uint64_t size, uint64_t start, const Layout& l,
               const std::array<Colour, 256>& palette, Picture& picture) {
  const bool four = l.compression == kBiRle4;
  const int64_t width = l.width, height = l.height;
  int64_t x = 0, y = 0;  // y counts rows from the bottom
  auto put = [&](unsigned index) {
    if (x < width && y < height) {
      uint8_t* p = picture.row(static_cast<int>(height - 1 - y)) + x * 3;
      const Colour& c = palette[index];
      p[0] = c.blue, p[1] = c.green, p[2] = c.red;
    }
    ++x;
  };
  uint64_t pos = start;
  while (pos + 2 <= size && y < height) {
    const unsigned count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {  // a run of one index (RLE4: two alternating indexes)
      const unsigned n = static_cast<unsigned>(std::min<int64_t>(count, std::max<int64_t>(0, width - x)));
      for (unsigned i = 0; i < n; ++i) put(four ? (i % 2 ? value & 15 : value >> 4) : value);
      x += count - n;
      continue;
    }
    if (value == 0) {  // end of row
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // move right and up
      if (pos + 2 > size) break;
      x += data[pos];
      y += data[pos + 1];
      pos += 2;
    } else {  // `value` indexes stored literally, padded to a 16-bit boundary
      const uint64_t bytes = four ? (value + 1) / 2 : value;
      if (pos + bytes > size) break;
      for (unsigned i = 0; i < value; ++i) {
        const uint8_t b = data[pos + (four ? i / 2 : i)];
        if (x >= width) {
          x += value - i;
          break;
        }
        put(four ? (i % 2 ? b & 15 : b >> 4) : b);
      }
      pos += (bytes + 1) / 2 * 2;
    }
  }
}

std::string notEnoughMemory(const Layout& l) {
  return "There is not enough memory for the picture (" + std::to_string(l.width) + " x " +
         std::to_string(l.height) + " pixels)";
}

}  // namespace

PictureResult readBmpMemory(const uint8_t* data, size_t byteCount) {
  if (!data || byteCount < 2 || data[0] != 'B' || data[1] != 'M')
    return PictureResult::failure("The data is not a BMP picture");
  const uint64_t size = byteCount;
  Layout l;
  std::string error;
  if (!readLayout(data, size, l, error)) return PictureResult::failure(error);

  // Where the pixels start: the file header says; a zero there means "right after the table".
  uint64_t pixelStart = le32(data + 10);
  // Pixels that start inside the headers or masks would be read as colours and header fields
  // at once. A table whose size the header states (a colour count) must end before the pixels;
  // without a count, the table ends where the pixels start, as in many older files.
  if (pixelStart != 0 && pixelStart < l.paletteStart)
    return PictureResult::failure("The BMP picture's pixel data would start inside its header");
  if (pixelStart != 0 && l.bitsPerPixel <= 8 && l.coloursUsed != 0 &&
      pixelStart < l.paletteStart + paletteBytes(l))
    return PictureResult::failure("The BMP picture's colour table overlaps its pixel data");
  std::array<Colour, 256> palette;
  if (l.bitsPerPixel <= 8) {
    if (!readPalette(data, size, pixelStart == 0 ? size : pixelStart, l, palette, error))
      return PictureResult::failure(error);
  }
  if (pixelStart == 0) pixelStart = l.paletteStart + (l.bitsPerPixel <= 8 ? paletteBytes(l) : 0);

  if (isRle(l)) {
    if (pixelStart >= size) return PictureResult::failure("The BMP picture is truncated");
    PictureResult result;
    try {
      result.picture.emplace(static_cast<int>(l.width), static_cast<int>(l.height));
    } catch (const std::bad_alloc&) {
      return PictureResult::failure(notEnoughMemory(l));
    }
    decodeRle(data, size, pixelStart, l, palette, *result.picture);
    return result;
  }

  const uint64_t rowBits = static_cast<uint64_t>(l.width) * l.bitsPerPixel;
  const uint64_t stride = (rowBits + 31) / 32 * 4;
  const uint64_t rowBytes = (rowBits + 7) / 8;
  const uint64_t rows = static_cast<uint64_t>(l.height);
  // The last row's padding may be missing; everything else must be there.
  if (pixelStart > size || (size - pixelStart) / stride < rows - 1 ||
      size - pixelStart - stride * (rows - 1) < rowBytes)
    return PictureResult::failure("The BMP picture is truncated");

  PictureResult result;
  try {
    result.picture.emplace(static_cast<int>(l.width), static_cast<int>(l.height));
  } catch (const std::bad_alloc&) {
    return PictureResult::failure(notEnoughMemory(l));
  }
  Picture& picture = *result.picture;
  for (uint64_t r = 0; r < rows; ++r) {
    int y = static_cast<int>(l.topDown ? r : rows - 1 - r);
    decodeRow(data + pixelStart + r * stride, l, palette, picture.row(y));
  }
  return result;
}

PictureResult readBmpFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!readFileBytes(path, kMaxPictureFileBytes, bytes, error))
    return PictureResult::failure(error);
  if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M')
    return PictureResult::failure("The file is not a BMP picture: " + path);
  PictureResult result = readBmpMemory(bytes.data(), bytes.size());
  if (!result) result.error += ": " + path;
  return result;
}

std::vector<uint8_t> encodeBmp(const Picture& picture) {
  std::vector<uint8_t> out;
  if (picture.empty()) return out;
  const uint64_t width = static_cast<uint64_t>(picture.width());
  const uint64_t height = static_cast<uint64_t>(picture.height());
  const uint64_t stride = (width * 3 + 3) / 4 * 4;
  const uint64_t pixelBytes = stride * height;
  const uint64_t offset = kFileHeaderSize + kInfoHeaderSize;
  if (offset + pixelBytes > 0xFFFFFFFFu) return out;
  out.reserve(offset + pixelBytes);
  out.push_back('B');
  out.push_back('M');
  put32(out, static_cast<uint32_t>(offset + pixelBytes));
  put32(out, 0);  // reserved
  put32(out, static_cast<uint32_t>(offset));
  put32(out, static_cast<uint32_t>(kInfoHeaderSize));
  put32(out, static_cast<uint32_t>(width));
  put32(out, static_cast<uint32_t>(height));  // positive: bottom-up rows
  put16(out, 1);                              // planes
  put16(out, 24);                             // bits per pixel
  put32(out, kBiRgb);
  put32(out, static_cast<uint32_t>(pixelBytes));
  put32(out, 2835);  // 72 dots per inch, in dots per metre
  put32(out, 2835);
  put32(out, 0);  // colours used
  put32(out, 0);  // important colours
  for (uint64_t r = 0; r < height; ++r) {
    const uint8_t* row = picture.row(static_cast<int>(height - 1 - r));
    out.insert(out.end(), row, row + width * 3);
    out.insert(out.end(), stride - width * 3, 0);
  }
  return out;
}

bool writeBmpFile(const std::string& path, const Picture& picture, std::string* error) {
  std::vector<uint8_t> bytes = encodeBmp(picture);
  if (bytes.empty()) {
    if (error)
      *error = (picture.empty() ? "There is no picture to save: "
                                : "The picture is too large for a BMP file: ") +
               path;
    return false;
  }
  return writeFileReplacing(path, bytes.data(), bytes.size(), error);
}
