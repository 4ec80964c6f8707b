#pragma once
// The checks pelimo-cli makes on a picture file before the station takes it. The station reads
// a transmit picture by its extension (.jpg, .jpeg, .jfif, .png or .bmp in any case, as a
// dropped file); the file is first read here by its content, so that a wrong extension, a
// damaged or unreadable file and a picture below 320 x 240 are each reported precisely.
#include <string>

struct TransmitPictureCheck {
  std::string error;  // why the picture cannot be sent; empty when it can
  std::string note;   // something worth saying about a picture that is sent (libjpeg warnings)
};

TransmitPictureCheck checkTransmitPicture(const std::string& path);
