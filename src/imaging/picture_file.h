#pragma once
// Reads a picture file of either supported kind, chosen by its content (JPEG starts with the
// bytes FF D8, a bitmap with "BM"), not by its extension, so a misnamed file still works.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture_result.h"

// What the first bytes of a file say it is.
enum class PictureFormat { kUnknown, kJpeg, kBmp };
PictureFormat detectPictureFormat(const uint8_t* data, size_t size);

PictureResult readPictureFile(const std::string& path);
PictureResult readPictureMemory(const uint8_t* data, size_t size);
