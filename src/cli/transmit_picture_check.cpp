#include "cli/transmit_picture_check.h"

#include "imaging/picture_file.h"
#include "core/scale_table.h"

namespace {

bool endsWith(const std::string& s, const char* suffix) {
  const std::string tail = suffix;
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

PictureFormat formatByExtension(const std::string& path) {
  if (endsWith(path, ".jpg") || endsWith(path, ".JPG")) return PictureFormat::kJpeg;
  if (endsWith(path, ".bmp") || endsWith(path, ".BMP")) return PictureFormat::kBmp;
  return PictureFormat::kUnknown;
}

const char* formatName(PictureFormat format) { return format == PictureFormat::kJpeg ? "JPEG" : "BMP"; }

}  // namespace

TransmitPictureCheck checkTransmitPicture(const std::string& path) {
  TransmitPictureCheck check;
  const PictureFormat named = formatByExtension(path);
  if (named == PictureFormat::kUnknown) {
    check.error = path + ": the station takes pictures only from files named .jpg, .JPG, .bmp or .BMP";
    return check;
  }
  PictureReadDetails details;
  const PictureResult read = readPictureFile(path, &details);
  if (!read) {
    check.error = read.error;
    return check;
  }
  if (details.format != named) {
    check.error = path + ": the file holds a " + formatName(details.format) + " picture but is named as a " +
                  formatName(named) + " file; rename it to ." +
                  (details.format == PictureFormat::kJpeg ? "jpg" : "bmp");
    return check;
  }
  if (read.picture->width() < kPictureWidth || read.picture->height() < kPictureHeight) {
    check.error = path + " (" + std::to_string(read.picture->width()) + " x " +
                  std::to_string(read.picture->height()) +
                  "): Image size is too small.The size is 320x240 or more.";
    return check;
  }
  if (details.jpegWarnings.count > 0)
    check.note = path + ": decoded with " + std::to_string(details.jpegWarnings.count) + " libjpeg warning" +
                 (details.jpegWarnings.count == 1 ? "" : "s") + " (" + details.jpegWarnings.first +
                 "); the picture is sent as decoded";
  return check;
}
