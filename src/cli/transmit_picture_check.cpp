#include "cli/transmit_picture_check.h"

#include "imaging/picture_file.h"
#include "core/scale_table.h"

TransmitPictureCheck checkTransmitPicture(const std::string& path) {
  TransmitPictureCheck check;
  const PictureFormat named = pictureFormatByName(path);
  if (named == PictureFormat::kUnknown) {
    check.error = path + ": the station takes pictures only from files named " + kPictureFileNames +
                  " (in upper or lower case)";
    return check;
  }
  PictureReadDetails details;
  const PictureResult read = readPictureFile(path, &details);
  if (!read) {
    check.error = read.error;
    return check;
  }
  if (details.format != named) {
    check.error = path + ": the file holds a " + pictureFormatName(details.format) +
                  " picture but is named as a " + pictureFormatName(named) + " file; rename it to " +
                  pictureFormatExtension(details.format);
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
