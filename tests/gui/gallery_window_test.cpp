// The gallery window under Qt's offscreen platform: opened from the picture's context menu
// beside the main window (which keeps its size), it shows a folder of stored pictures as
// thumbnails with their lines, newest first. Its screenshot is saved in the build folder
// (screenshots/gallery.png).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QMenu>

#include "app/dialogs/gallery_loader.h"
#include "gui/gallery_window.h"
#include "gui/main_window_widget.h"
#include "gui/offscreen_events.h"
#include "gui/window_library_leaks.h"
#include "imaging/jpeg_file.h"
#include "library/picture_record.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"

namespace {

// A folder of pictures as a station leaves it: the sample photograph in several tints, each
// with its record, a few minutes apart.
void fillStore(const std::string& store) {
  const PictureResult sample = readJpegFile(std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg");
  ASSERT_TRUE(sample) << sample.error;
  const Picture base = fittedThumbnail(*sample.picture, 320, 240);
  const char* calls[] = {"JA1ABC", "DL2XYZ", "QA1BCD", "G4KLX", "VK2AB", "W1AW", "OH2XX", "F5ABC"};
  for (int i = 0; i < 8; ++i) {
    Picture tinted = base;
    for (uint8_t& byte : tinted.bytes()) byte = static_cast<uint8_t>(byte * (6 + i % 3) / 8);
    char name[40], utc[40];
    std::snprintf(name, sizeof name, "/20261208_14%02d_%s.jpg", 10 + 3 * i, calls[i]);
    std::snprintf(utc, sizeof utc, "2026-12-08T14:%02d:30Z", 10 + 3 * i);
    ASSERT_TRUE(writeJpegFile(store + name, tinted));
    PictureRecord record;
    record.callsign = calls[i];
    record.utc = utc;
    record.blocks = 300 - 9 * (i % 4);
    record.snrDb = 4.5 + 2.0 * i;
    record.frequencyHz = i % 2 ? 14'233'000.0 : 7'171'000.0;
    std::string error;
    ASSERT_TRUE(writePictureRecord(recordPathOf(store + name), record, error)) << error;
  }
}

}  // namespace

TEST(GalleryWindow, ShowsTheStoredPicturesNewestFirstBesideTheMainWindow) {
  offscreenApplication();
  TempFolder data("pelimo-gallery-window");
  const std::string store = data.file("AutoSave");
  QDir().mkpath(QString::fromStdString(store));
  fillStore(store);

  FakePlatform platform;
  MainWindow form(platform);
  form.dataFolder = data.path().string();
  MainWindowWidget window(form);
  window.show();
  QMenu* menu = window.pictureMenu();
  QAction* galleryEntry = nullptr;
  for (QAction* action : menu->actions())
    if (action->text() == "Gallery...") galleryEntry = action;
  ASSERT_NE(galleryEntry, nullptr);
  EXPECT_EQ(galleryEntry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
  galleryEntry->trigger();

  GalleryWindow& gallery = *window.galleryWindow();
  EXPECT_TRUE(gallery.isVisible());
  EXPECT_EQ(window.size(), QSize(833, 317));  // the main window keeps its size
  // The listing and the thumbnails arrive through the event loop, never by waiting on it.
  QElapsedTimer clock;
  clock.start();
  auto thumbnailsShown = [&] {
    if (form.gallery.items.size() != 8) return false;
    for (int i = 0; i < 8; ++i)
      if (!form.gallery.thumbnail(i)) return false;
    return true;
  };
  while (!thumbnailsShown() && clock.elapsed() < 20000) QApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_TRUE(thumbnailsShown());
  QApplication::processEvents();
  EXPECT_EQ(gallery.listView()->model()->rowCount(), 8);
  EXPECT_EQ(gallery.listView()->model()->index(0, 0).data().toString().toStdString(),
            "F5ABC\n2026-12-08 14:31Z\n20m  18.5 dB\n273/300 blocks");
  EXPECT_EQ(form.gallery.statusLine.caption, "8 pictures in " + store);

  // A click selects, and the commands follow the selection.
  gallery.listView()->setCurrentIndex(gallery.listView()->model()->index(2, 0));
  EXPECT_EQ(form.gallery.selected, 2);
  EXPECT_TRUE(form.gallery.deleteButton.enabled);
  QDir().mkpath("screenshots");
  ASSERT_TRUE(gallery.grab().save("screenshots/gallery.png"));
  gallery.close();
  EXPECT_FALSE(form.gallery.visible);
}
