#pragma once
// The main window "Pelimo": draws the MainWindow model (fixed client area of 833 x 317) and
// forwards every click, selection, key release and dropped file to the model's handlers. It also
// runs the device messages: the rings' wake-up posts a queued call to pump(), on the main thread.
#include <QTabBar>
#include <QWidget>
#include <atomic>
#include <functional>
#include <map>

#include "app/main_window.h"

class QMenu;
class QPushButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QFrame;
class QProgressBar;
class PictureView;
class LevelWindow;
class NoticeWindow;
class GalleryWindow;

class MainWindowWidget : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 833;
  static constexpr int kClientHeight = 317;

  explicit MainWindowWidget(MainWindow& form, QWidget* parent = nullptr);
  ~MainWindowWidget() override;

  MainWindow& form() { return form_; }
  // Copies the whole model (and the level dialog and notice) into the widgets.
  void refresh();
  // Runs one handler under the model's guard, then refreshes.
  void run(const std::function<void()>& handler);
  // Thread-safe: asks the main thread to run the pending device messages (coalesced).
  void wakeUp();
  // Paints every window as the models show them now (a progress notice before a long step).
  // Only paint and window-system events run meanwhile: no buffer step, no timer's work and no
  // operator event.
  void paintNow();
  // Sources of run-time device failures, polled after every pump and by a timer.
  void setErrorSource(std::function<std::vector<std::string>()> takeErrors) {
    takeErrors_ = std::move(takeErrors);
  }
  // The widget of a model control, for tests and screenshots; nullptr if unknown.
  QWidget* widgetOf(const void* control) const;
  LevelWindow* levelWindow() const { return level_; }
  GalleryWindow* galleryWindow() const { return gallery_; }
  // The line beside the tabs that shows how far a transmission or a reception has come.
  QProgressBar* progressLine() const { return progress_; }
  // The picture area's context menu: "Open picture...", "Gallery...", then the pictures sent
  // last.
  QMenu* pictureMenu();

 public slots:
  void pump();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  QPushButton* addButton(Button& button, const QRect& place, std::function<void()> handler,
                         bool toggle = false);
  QComboBox* addCombo(Combo& combo, const char* caption, const QRect& place,
                      std::function<void()> handler);
  QLabel* addLabel(Label& label, QWidget* parent, const QRect& place);
  void reportDeviceErrors();
  // The main window became active again after another window of this program had the focus
  // (a dialog or a box closed): the model's activation handling.
  void focusMoved(QWindow* now);

  MainWindow& form_;
  std::map<const void*, QWidget*> widgets_;
  std::vector<std::function<void()>> syncs_;
  QTabBar* tabs_ = nullptr;
  QLineEdit* textEntry_ = nullptr;
  QPlainTextEdit* messageLogView_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QMenu* pictureMenu_ = nullptr;
  QWidget* callsignFrame_ = nullptr;
  QLabel* callsignCaption_ = nullptr;
  LevelWindow* level_ = nullptr;
  NoticeWindow* notice_ = nullptr;
  GalleryWindow* gallery_ = nullptr;
  std::atomic<bool> pumpPosted_{false};
  bool painting_ = false;      // inside paintNow: device messages wait
  bool pumpWaiting_ = false;   // a pump came while painting
  QWindow* lastFocus_ = nullptr;
  std::function<std::vector<std::string>()> takeErrors_;
  bool activated_ = false;
  bool closed_ = false;
};

// The model's virtual-key code of a released key: letters and main-keyboard digits as their
// capital ASCII codes, keypad digits as 0x60..0x69, F1..F12 as 0x70..0x7B, Space as 0x20,
// comma as 0xBC; every other key as 0xFF, so that any key breaks a typed shortcut. 0 for a
// key that is only a modifier (Shift, Control, ...), which the shortcuts ignore.
int virtualKeyCode(int qtKey, bool keypad = false);
