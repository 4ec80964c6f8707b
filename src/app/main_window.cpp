#include "app/main_window.h"

#include <algorithm>
#include <cstdio>

TForm1::TForm1(Platform& platform) : platform(platform) {
  for (double s : scaleTable) {
    char text[16];
    std::snprintf(text, sizeof text, "%0.2f", s);
    ComboBox1.items.push_back(text);
  }
  ComboBox1.index = ImageQ;

  Memo1.lines = {std::string(kProgramName) + " " + kProgramVersion,
                 "Still pictures and texts over an SSB voice channel"};
  Label7.background = colours::valueLabelGrey;

  eyePicture.resize(Image1.width, Image1.height);
  txPicture.resize(kPictureWidth, kPictureHeight);
  rxPicture.resize(kPictureWidth, kPictureHeight);
  txPreviewPicture.resize(kPictureWidth, kPictureHeight);
  browsePicture.resize(kPictureWidth, kPictureHeight);
  waterfallPicture.resize(Image1.width, Image1.height);
  errorPicture.resize(Image2.width, Image2.height);
  Image1.show(waterfallPicture);
  Image2.show(errorPicture);
  Image3.show(txPicture);
}

int TForm1::scaleIndex() const { return std::clamp(ComboBox1.index, 0, kScaleCount - 1); }

void TForm1::refreshBsrButtons() {
  const BsrButtonState send = sendBsrButtonState(state.missingBlockCount);
  SpeedButton2.caption = send.caption;
  SpeedButton2.enabled = send.enabled;
  const BsrButtonState resp = respBsrButtonState(state.requestedBlockCount);
  SpeedButton3.caption = resp.caption;
  SpeedButton3.enabled = resp.enabled;
}
