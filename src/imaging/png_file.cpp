#include "imaging/png_file.h"

#include <png.h>

#include <cstring>
#include <new>
#include <vector>

#include "core/file_bytes.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Frees libpng's reading state on every way out.
struct ImageReader {
  png_image image;
  ImageReader() {
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
  }
  ~ImageReader() { png_image_free(&image); }
  std::string failure() const {
    return std::string("The PNG picture cannot be read (") +
           (image.message[0] ? image.message : "unknown error") + ")";
  }
};

}  // namespace

bool hasPngSignature(const uint8_t* data, size_t size) {
  return data && size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

PictureResult readPngMemory(const uint8_t* data, size_t size) {
  if (!hasPngSignature(data, size)) return PictureResult::failure("The data is not a PNG picture");
  ImageReader reader;
  if (!png_image_begin_read_from_memory(&reader.image, data, size))
    return PictureResult::failure(reader.failure());
  std::string message;
  if (!pictureSizeAllowed(reader.image.width, reader.image.height, message))
    return PictureResult::failure(message);

  reader.image.format = PNG_FORMAT_BGR;  // the Picture's own byte order
  Picture picture;
  try {
    picture.resize(static_cast<int>(reader.image.width), static_cast<int>(reader.image.height));
  } catch (const std::bad_alloc&) {
    return PictureResult::failure("There is not enough memory for the PNG picture");
  }
  const png_color white{255, 255, 255};
  if (!png_image_finish_read(&reader.image, &white, picture.bytes().data(),
                             static_cast<png_int_32>(picture.width() * 3), nullptr))
    return PictureResult::failure(reader.failure());
  return PictureResult::success(std::move(picture));
}

PictureResult readPngFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!readFileBytes(path, kMaxPictureFileBytes, bytes, error)) return PictureResult::failure(error);
  PictureResult result = readPngMemory(bytes.data(), bytes.size());
  if (!result) result.error += ": " + path;
  return result;
}
