#include "imaging/picture_file.h"

#include <vector>

#include "imaging/bmp_file.h"
#include "core/file_bytes.h"
#include "imaging/jpeg_file.h"

PictureFormat detectPictureFormat(const uint8_t* data, size_t size) {
  if (!data || size < 2) return PictureFormat::kUnknown;
  if (data[0] == 0xFF && data[1] == 0xD8) return PictureFormat::kJpeg;
  if (data[0] == 'B' && data[1] == 'M') return PictureFormat::kBmp;
  return PictureFormat::kUnknown;
}

PictureResult readPictureMemory(const uint8_t* data, size_t size, PictureReadDetails* details) {
  const PictureFormat format = detectPictureFormat(data, size);
  if (details) details->format = format;
  switch (format) {
    case PictureFormat::kJpeg:
      return readJpegMemory(data, size, details ? &details->jpegWarnings : nullptr);
    case PictureFormat::kBmp:
      return readBmpMemory(data, size);
    case PictureFormat::kUnknown:
      break;
  }
  return PictureResult::failure("The data is not a JPEG or BMP picture");
}

PictureResult readPictureFile(const std::string& path, PictureReadDetails* details) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!readFileBytes(path, kMaxPictureFileBytes, bytes, error))
    return PictureResult::failure(error);
  if (detectPictureFormat(bytes.data(), bytes.size()) == PictureFormat::kUnknown)
    return PictureResult::failure("The file is not a JPEG or BMP picture: " + path);
  PictureResult result = readPictureMemory(bytes.data(), bytes.size(), details);
  if (!result) result.error += ": " + path;
  return result;
}
