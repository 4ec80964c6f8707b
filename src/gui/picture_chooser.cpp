#include "gui/picture_chooser.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>

#include "gui/control_sync.h"
#include "gui/picture_view.h"
#include "imaging/picture_file.h"

namespace {

constexpr int kPreviewWidth = 160;
constexpr int kPreviewHeight = 120;

// The picture through the program's own readers (the same that will send it), reduced for the
// preview, or a line saying why it cannot be sent.
void showPreview(QLabel* preview, const QString& path) {
  preview->clear();
  if (path.isEmpty() || QFileInfo(path).isDir()) return;
  const PictureResult read = readPictureFileByName(ss(path));
  if (!read) {
    preview->setText("No picture");
    return;
  }
  const QImage image = toQImage(*read.picture);
  preview->setPixmap(QPixmap::fromImage(
      image.scaled(kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  preview->setToolTip(QString("%1 x %2").arg(read.picture->width()).arg(read.picture->height()));
}

}  // namespace

std::optional<std::string> choosePictureWithPreview(QWidget* owner, const std::string& folder) {
  QFileDialog dialog(owner, "Picture to send", qs(folder));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({"Pictures (*.jpg *.jpeg *.jfif *.png *.bmp *.JPG *.JPEG *.JFIF *.PNG *.BMP)",
                         "All files (*)"});
  // Qt's own dialog, so the preview can sit in its layout.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  auto* preview = new QLabel(&dialog);
  preview->setFixedSize(kPreviewWidth, kPreviewHeight);
  preview->setAlignment(Qt::AlignCenter);
  preview->setFrameShape(QFrame::StyledPanel);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(preview, 1, grid->columnCount(), Qt::AlignTop);
  QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                   [preview](const QString& path) { showPreview(preview, path); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ss(dialog.selectedFiles().front());
}
