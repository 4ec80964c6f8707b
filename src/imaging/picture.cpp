#include "imaging/picture.h"

#include <algorithm>

void Picture::resize(int width, int height) {
  if (width <= 0 || height <= 0) {
    width = 0;
    height = 0;
  }
  width_ = width;
  height_ = height;
  data_.assign(static_cast<size_t>(width) * height * 3, 0);
}

void Picture::fill(Colour colour) {
  for (size_t i = 0; i + 2 < data_.size(); i += 3) {
    data_[i] = colour.blue;
    data_[i + 1] = colour.green;
    data_[i + 2] = colour.red;
  }
}

void putPixel(int x, int y, Picture& picture, Colour colour) {
  if (picture.contains(x, y)) picture.set(x, y, colour);
}
