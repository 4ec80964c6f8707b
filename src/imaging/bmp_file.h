#pragma once
// Windows/OS2 bitmap (.bmp) pictures, read and written by our own code.
//
// Reading accepts the 12-byte core header and the 40-byte info header with its larger V2..V5
// variants (and OS/2's 64-byte header without compression); 1-, 4- and 8-bit palettes, 16- and
// 32-bit pixels with or without colour masks (BI_BITFIELDS), 24-bit pixels; bottom-up and
// top-down rows; RLE8 and RLE4 compression (pixels the data leaves out stay black, as does
// the rest of a picture whose data ends early). JPEG- and PNG-compressed bitmaps are refused
// with a message. Alpha is ignored. Every size is computed in 64 bits and every offset is
// checked against the data size; pictures above kMaxPicturePixels are refused from the
// header, before allocation.
//
// Writing produces a 24-bit bottom-up bitmap with the 40-byte info header.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "imaging/picture_result.h"

PictureResult readBmpFile(const std::string& path);
PictureResult readBmpMemory(const uint8_t* data, size_t size);

// The picture as the bytes of a 24-bit .bmp file; empty when the picture is empty or too large
// for the format.
std::vector<uint8_t> encodeBmp(const Picture& picture);

// Stores the picture at path through a temporary file renamed into place.
bool writeBmpFile(const std::string& path, const Picture& picture, std::string* error = nullptr);
