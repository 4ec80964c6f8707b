#pragma once
// The gallery window, drawn from the GalleryDialog model: the stored pictures as a grid of
// thumbnails with their lines, the command buttons and a status line, and a second window with
// the picture opened large. Every event runs through the main window's guard; the loader's
// wake-ups come in as queued calls on the main thread.
#include <QWidget>
#include <functional>
#include <vector>

#include "app/dialogs/gallery_dialog.h"

class MainWindowWidget;
class QLabel;
class QListView;
class GalleryListModel;

class GalleryWindow : public QWidget {
  Q_OBJECT
 public:
  GalleryWindow(GalleryDialog& form, MainWindowWidget& main);
  ~GalleryWindow() override;
  // Shown exactly while the model's window is visible; the list follows the model's items.
  void refresh();
  // Runs one of the gallery's handlers under the main window's guard, then refreshes.
  void run(const std::function<void()>& handler);
  QListView* listView() const { return list_; }
  QWidget* largeWindow() const { return large_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void takeResults();

  GalleryDialog& form_;
  MainWindowWidget& main_;
  GalleryListModel* model_ = nullptr;
  QListView* list_ = nullptr;
  QLabel* status_ = nullptr;
  QWidget* large_ = nullptr;
  QLabel* largePicture_ = nullptr;
  const void* largeShown_ = nullptr;  // the pixels the large window shows
  std::vector<std::function<void()>> syncs_;
};
