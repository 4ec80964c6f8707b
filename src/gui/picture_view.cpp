#include "gui/picture_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstring>

// The model's rows are packed blue-green-red, which is Qt's BGR888 with a stride of width * 3.
static QImage wrap(const Picture& p) {
  return QImage(p.bytes().data(), p.width(), p.height(), p.width() * 3, QImage::Format_BGR888);
}

QImage toQImage(const Picture& picture) {
  if (picture.empty()) return {};
  return wrap(picture).convertToFormat(QImage::Format_RGB888);
}

Picture fromQImage(const QImage& image) {
  if (image.isNull()) return {};
  const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
  Picture picture(bgr.width(), bgr.height());
  for (int y = 0; y < bgr.height(); ++y)
    std::memcpy(picture.row(y), bgr.constScanLine(y), static_cast<size_t>(bgr.width()) * 3);
  return picture;
}

QColor toQColor(Colour colour) { return QColor(colour.red, colour.green, colour.blue); }

PictureView::PictureView(const ImageBox& box, QWidget* parent) : QWidget(parent), box_(box) {
  setFixedSize(box.width, box.height);
  if (!box.hint.empty()) setToolTip(QString::fromStdString(box.hint));
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!box_.shown || box_.shown->empty()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  // The raster is wrapped, not copied: it lives in the model for the paint's duration.
  painter.drawImage(rect(), wrap(*box_.shown));
  if (box_.prompt.empty()) return;
  painter.fillRect(rect(), QColor(0, 0, 0, 160));
  painter.setPen(Qt::white);
  painter.drawText(rect().adjusted(24, 0, -24, 0), Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromStdString(box_.prompt));
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
}
