// libFuzzer harness for the picture readers (JPEG through libjpeg, BMP through our own parser).
// Not part of the CMake build. Build and run from the repository root with clang:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Isrc \
//     fuzz/picture_reader_fuzzer.cpp src/imaging/picture_file.cpp src/imaging/jpeg_file.cpp \
//     src/imaging/bmp_file.cpp src/imaging/file_bytes.cpp src/imaging/picture.cpp -ljpeg \
//     -o /tmp/picture_reader_fuzzer
//   mkdir -p /tmp/picture-corpus && cp assets/*.jpg /tmp/picture-corpus/
//   /tmp/picture_reader_fuzzer -max_len=65536 -max_total_time=60 /tmp/picture-corpus
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PictureResult result = readPictureMemory(data, size);
  if (result) {
    const Picture& p = *result.picture;
    if (p.empty() || int64_t{p.width()} * p.height() > kMaxPicturePixels) std::abort();
  } else if (result.error.empty()) {
    std::abort();
  }
  return 0;
}
