#include "gui/qt_platform.h"

#include <cstdio>

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QUrl>
#include <QFont>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <ctime>
#include <memory>

#include "gui/control_sync.h"
#include "gui/picture_chooser.h"
#include "gui/picture_view.h"
#include "gui/x11_windows.h"

namespace {

QMessageBox* plainBox(QWidget* owner, const std::string& text, QMessageBox::StandardButtons buttons) {
  auto* box = new QMessageBox(QMessageBox::Information, QApplication::applicationName(), {},
                              buttons, owner);
  box->setTextFormat(Qt::PlainText);
  box->setText(qs(text));
  return box;
}

}  // namespace

void QtPlatform::messageBox(const std::string& text, bool beep) {
  if (closing_) {
    std::fprintf(stderr, "pelimo: %s\n", text.c_str());
    return;
  }
  if (beep) QApplication::beep();
  std::unique_ptr<QMessageBox> box(plainBox(owner_, text, QMessageBox::Ok));
  box->exec();
}

void QtPlatform::notice(const std::string& text, bool beep) {
  if (beep) QApplication::beep();
  QMessageBox* box = plainBox(owner_, text, QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

bool QtPlatform::askYesNo(const std::string& text, bool beep) {
  if (closing_) return false;
  if (beep) QApplication::beep();
  std::unique_ptr<QMessageBox> box(plainBox(owner_, text, QMessageBox::Yes | QMessageBox::No));
  box->setIcon(QMessageBox::Question);
  return box->exec() == QMessageBox::Yes;
}

std::optional<Picture> QtPlatform::clipboardPicture() {
  const QImage image = QApplication::clipboard()->image();
  if (image.isNull()) return std::nullopt;
  return fromQImage(image);
}

bool QtPlatform::showFolder(const std::string& folder) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(qs(folder)));
}

void QtPlatform::setClipboardPicture(const Picture& picture) {
  QApplication::clipboard()->setImage(toQImage(picture));
}

void QtPlatform::setClipboardText(const std::string& text) {
  QApplication::clipboard()->setText(qs(text));
}

LocalTime QtPlatform::localTime() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

int64_t QtPlatform::timeSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

void QtPlatform::drawText(Picture& picture, int x, int y, const std::string& text, int size,
                          Colour colour) {
  if (picture.empty()) return;
  QImage image = toQImage(picture);
  {
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPointSize(size > 0 ? size : 9);
    painter.setFont(font);
    painter.setPen(toQColor(colour));
    painter.drawText(QRect(x, y, image.width() * 2, image.height() * 2),
                     Qt::AlignLeft | Qt::AlignTop, qs(text));
  }
  picture = fromQImage(image);
}

bool QtPlatform::windowExists(const std::string& title) {
  return findTitledWindow(title) != WindowReach::absent;
}

bool QtPlatform::sendF8ToWindow(const std::string& title) {
  return sendF8ToTitledWindow(title) != WindowReach::absent;
}

bool QtPlatform::keysReachOtherWindows() { return x11WindowsReachable(); }

std::optional<std::string> QtPlatform::choosePictureFile(const std::string& folder) {
  return choosePictureWithPreview(owner_, folder);
}

const std::vector<std::vector<std::string>>& QtPlatform::mixerCommands() {
  static const std::vector<std::vector<std::string>> commands{
      {"pavucontrol", "--tab=4"},
      {"pavucontrol-qt", "--tab=4"},
      {"pwvucontrol"},
      {"gnome-control-center", "sound"},
      {"kmix"},
  };
  return commands;
}

bool QtPlatform::startMixer() {
  for (const std::vector<std::string>& command : mixerCommands()) {
    const QString program = QStandardPaths::findExecutable(qs(command.front()));
    if (program.isEmpty()) continue;
    QStringList arguments;
    for (size_t i = 1; i < command.size(); ++i) arguments << qs(command[i]);
    if (QProcess::startDetached(program, arguments)) return true;
  }
  messageBox(kNoMixerMessage, true);
  return false;
}

void QtPlatform::showModal(SettingsDialog& dialog) {
  if (runSettings_) runSettings_(dialog);
}
