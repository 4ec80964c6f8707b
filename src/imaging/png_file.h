#pragma once
// PNG pictures through libpng's simplified reading interface, which catches libpng's own
// errors inside the library, so nothing ever jumps across our frames and no error ends the
// program. Every colour type and bit depth is accepted and given as a 24-bit Picture; a
// transparent picture is laid over white. Sizes above kMaxPicturePixels are refused from the
// header, before any pixel memory is allocated.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/picture_result.h"

// True when the data starts with the eight-byte PNG signature.
bool hasPngSignature(const uint8_t* data, size_t size);

PictureResult readPngFile(const std::string& path);
PictureResult readPngMemory(const uint8_t* data, size_t size);
