#pragma once
// JPEG pictures through the IJG libjpeg interface (libjpeg or libjpeg-turbo).
//
// Reading accepts baseline and progressive files, greyscale, colour (YCbCr or RGB) and
// CMYK/YCCK (converted to RGB, Adobe's inverted CMYK recognised) and gives a 24-bit Picture.
// No libjpeg error ever ends the program: errors come back as a message, nothing is printed.
// Recoverable damage (libjpeg warnings such as "Corrupt JPEG data" or a file that ends early)
// is tolerated: the picture is returned as far as libjpeg could decode it, the way picture
// viewers show a damaged photo; only hard errors fail. Pictures above kMaxPicturePixels are
// refused from their header, before any pixel memory is allocated.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "imaging/picture_result.h"

// The recoverable damage libjpeg worked around while decoding.
struct JpegWarnings {
  long count = 0;
  std::string first;  // libjpeg's text of the first warning
};

// `warnings`, when given, receives the warnings of a successful read.
PictureResult readJpegFile(const std::string& path, JpegWarnings* warnings = nullptr);
PictureResult readJpegMemory(const uint8_t* data, size_t size, JpegWarnings* warnings = nullptr);

// Codes the picture as a colour JPEG (libjpeg defaults, the given quality 1..100) into out.
bool encodeJpeg(const Picture& picture, int quality, std::vector<uint8_t>& out,
                std::string* error = nullptr);

// Codes the picture and stores it at path through a temporary file renamed into place.
bool writeJpegFile(const std::string& path, const Picture& picture, int quality = 100,
                   std::string* error = nullptr);
