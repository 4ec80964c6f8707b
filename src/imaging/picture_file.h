#pragma once
// Reads a picture file of either supported kind, chosen by its content (JPEG starts with the
// bytes FF D8, a bitmap with "BM"), not by its extension, so a misnamed file still works.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/jpeg_file.h"
#include "imaging/picture_result.h"

// What the first bytes of a file say it is.
enum class PictureFormat { kUnknown, kJpeg, kBmp };
PictureFormat detectPictureFormat(const uint8_t* data, size_t size);

// What a successful read found out besides the picture.
struct PictureReadDetails {
  PictureFormat format = PictureFormat::kUnknown;
  JpegWarnings jpegWarnings;  // recoverable damage in a JPEG file
};

PictureResult readPictureFile(const std::string& path, PictureReadDetails* details = nullptr);
PictureResult readPictureMemory(const uint8_t* data, size_t size, PictureReadDetails* details = nullptr);
