#pragma once
// Reads a picture file of any supported kind, chosen by its content (JPEG starts with the
// bytes FF D8, PNG with its eight-byte signature, a bitmap with "BM"), not by its extension,
// so a misnamed file still works. The station itself takes a transmit picture by its name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/jpeg_file.h"
#include "imaging/picture_result.h"

// What the first bytes of a file say it is.
enum class PictureFormat { kUnknown, kJpeg, kBmp, kPng };
PictureFormat detectPictureFormat(const uint8_t* data, size_t size);
// What a file's name says it is: .jpg, .jpeg and .jfif are JPEG, .bmp a bitmap, .png PNG, in
// any mix of upper and lower case.
PictureFormat pictureFormatByName(const std::string& path);
// "JPEG", "BMP", "PNG" or "unknown".
const char* pictureFormatName(PictureFormat format);
// The usual extension of a format, with its dot (".jpg", ".bmp", ".png").
const char* pictureFormatExtension(PictureFormat format);
// The names a transmit picture may have, for messages and file choosers.
inline constexpr const char* kPictureFileNames = ".jpg, .jpeg, .jfif, .png or .bmp";

// What a successful read found out besides the picture.
struct PictureReadDetails {
  PictureFormat format = PictureFormat::kUnknown;
  JpegWarnings jpegWarnings;  // recoverable damage in a JPEG file
};

PictureResult readPictureFile(const std::string& path, PictureReadDetails* details = nullptr);
// Reads the file with the reader its name chooses (pictureFormatByName); a name of no known
// kind fails with a message listing the names.
PictureResult readPictureFileByName(const std::string& path);
PictureResult readPictureMemory(const uint8_t* data, size_t size, PictureReadDetails* details = nullptr);
