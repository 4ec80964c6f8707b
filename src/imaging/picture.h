#pragma once
// A 24-bit raster: rows from the top, columns from the left, each pixel stored as
// blue, green, red (one byte each). Rows are packed without padding.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Colour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Colour&, const Colour&) = default;
};

namespace colours {
inline constexpr Colour black{0, 0, 0};
inline constexpr Colour white{255, 255, 255};
inline constexpr Colour goodBlock{0, 255, 0};
inline constexpr Colour badBlock{255, 0, 0};
inline constexpr Colour foreignBlock{255, 255, 0};
inline constexpr Colour valueLabelGrey{160, 160, 160};
}  // namespace colours

class Picture {
 public:
  Picture() = default;
  Picture(int width, int height) { resize(width, height); }

  // Resizes and fills with black. Negative sizes give an empty picture.
  void resize(int width, int height);
  void fill(Colour colour);

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }

  uint8_t* row(int y) { return data_.data() + static_cast<size_t>(y) * width_ * 3; }
  const uint8_t* row(int y) const { return data_.data() + static_cast<size_t>(y) * width_ * 3; }

  Colour at(int x, int y) const {
    const uint8_t* p = row(y) + x * 3;
    return Colour{p[2], p[1], p[0]};
  }
  void set(int x, int y, Colour c) {
    uint8_t* p = row(y) + x * 3;
    p[0] = c.blue;
    p[1] = c.green;
    p[2] = c.red;
  }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  const std::vector<uint8_t>& bytes() const { return data_; }
  std::vector<uint8_t>& bytes() { return data_; }

  friend bool operator==(const Picture&, const Picture&) = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> data_;
};

// Sets one pixel; positions outside the picture are ignored.
void putPixel(int x, int y, Picture& picture, Colour colour);
