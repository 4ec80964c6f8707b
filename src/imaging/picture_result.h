#pragma once
// The outcome of reading a picture from a file or from memory: the picture, or a message for
// the operator saying why there is none. Shared by the JPEG, BMP and content-sniffing readers.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "imaging/picture.h"

// Largest picture any reader accepts, checked from the header before any pixel memory is
// allocated (100 megapixels is 300 MB as a 24-bit raster).
inline constexpr int64_t kMaxPicturePixels = 100'000'000;
// Largest file the readers load into memory.
inline constexpr uint64_t kMaxPictureFileBytes = 512ull * 1024 * 1024;

struct PictureResult {
  std::optional<Picture> picture;
  std::string error;

  explicit operator bool() const { return picture.has_value(); }

  static PictureResult success(Picture p) {
    PictureResult r;
    r.picture = std::move(p);
    return r;
  }
  static PictureResult failure(std::string message) {
    PictureResult r;
    r.error = std::move(message);
    return r;
  }
};

// True when a picture of width x height pixels may be allocated; otherwise fills message.
inline bool pictureSizeAllowed(int64_t width, int64_t height, std::string& message) {
  if (width <= 0 || height <= 0) {
    message = "The picture has no pixels (" + std::to_string(width) + " x " +
              std::to_string(height) + ")";
    return false;
  }
  if (width > kMaxPicturePixels || height > kMaxPicturePixels ||
      width * height > kMaxPicturePixels) {
    message = "The picture is too large (" + std::to_string(width) + " x " +
              std::to_string(height) + " pixels); the limit is 100 megapixels";
    return false;
  }
  return true;
}
