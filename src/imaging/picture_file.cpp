#include "imaging/picture_file.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "imaging/bmp_file.h"
#include "core/file_bytes.h"
#include "imaging/jpeg_file.h"
#include "imaging/png_file.h"

PictureFormat detectPictureFormat(const uint8_t* data, size_t size) {
  if (!data || size < 2) return PictureFormat::kUnknown;
  if (data[0] == 0xFF && data[1] == 0xD8) return PictureFormat::kJpeg;
  if (data[0] == 'B' && data[1] == 'M') return PictureFormat::kBmp;
  if (hasPngSignature(data, size)) return PictureFormat::kPng;
  return PictureFormat::kUnknown;
}

PictureFormat pictureFormatByName(const std::string& path) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return PictureFormat::kUnknown;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "jpg" || extension == "jpeg" || extension == "jfif") return PictureFormat::kJpeg;
  if (extension == "bmp") return PictureFormat::kBmp;
  if (extension == "png") return PictureFormat::kPng;
  return PictureFormat::kUnknown;
}

const char* pictureFormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::kJpeg: return "JPEG";
    case PictureFormat::kBmp: return "BMP";
    case PictureFormat::kPng: return "PNG";
    case PictureFormat::kUnknown: break;
  }
  return "unknown";
}

const char* pictureFormatExtension(PictureFormat format) {
  switch (format) {
    case PictureFormat::kJpeg: return ".jpg";
    case PictureFormat::kBmp: return ".bmp";
    case PictureFormat::kPng: return ".png";
    case PictureFormat::kUnknown: break;
  }
  return "";
}

PictureResult readPictureMemory(const uint8_t* data, size_t size, PictureReadDetails* details) {
  const PictureFormat format = detectPictureFormat(data, size);
  if (details) details->format = format;
  switch (format) {
    case PictureFormat::kJpeg:
      return readJpegMemory(data, size, details ? &details->jpegWarnings : nullptr);
    case PictureFormat::kBmp:
      return readBmpMemory(data, size);
    case PictureFormat::kPng:
      return readPngMemory(data, size);
    case PictureFormat::kUnknown:
      break;
  }
  return PictureResult::failure("The data is not a JPEG, PNG or BMP picture");
}

PictureResult readPictureFile(const std::string& path, PictureReadDetails* details) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!readFileBytes(path, kMaxPictureFileBytes, bytes, error))
    return PictureResult::failure(error);
  if (detectPictureFormat(bytes.data(), bytes.size()) == PictureFormat::kUnknown)
    return PictureResult::failure("The file is not a JPEG, PNG or BMP picture: " + path);
  PictureResult result = readPictureMemory(bytes.data(), bytes.size(), details);
  if (!result) result.error += ": " + path;
  return result;
}

PictureResult readPictureFileByName(const std::string& path) {
  switch (pictureFormatByName(path)) {
    case PictureFormat::kJpeg: return readJpegFile(path);
    case PictureFormat::kBmp: return readBmpFile(path);
    case PictureFormat::kPng: return readPngFile(path);
    case PictureFormat::kUnknown: break;
  }
  return PictureResult::failure(path + ": pictures are taken only from files named " +
                                kPictureFileNames);
}
