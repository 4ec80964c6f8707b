#pragma once
// Pictures between the models and Qt: a model's 24-bit raster as a QImage and back, and a
// widget that draws the picture an ImageBox shows (the model's own raster, read at every paint).
#include <QImage>
#include <QWidget>

#include "app/controls.h"
#include "imaging/picture.h"

// A deep copy of the picture (QImage::Format_RGB888); an empty picture gives a null image.
QImage toQImage(const Picture& picture);
// The picture of any QImage; a null image gives an empty picture.
Picture fromQImage(const QImage& image);

QColor toQColor(Colour colour);

class PictureView : public QWidget {
  Q_OBJECT
 public:
  // The box must outlive the view; its size is the widget's fixed size.
  PictureView(const ImageBox& box, QWidget* parent);

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  const ImageBox& box_;
};
