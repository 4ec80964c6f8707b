// The station window under Qt's offscreen platform: text from the air is shown as it is, never
// as markup; the controls work as labelled; the activation handling runs when the focus comes
// back; SIGHUP closes the window; an unreachable display ends the program in one line.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSlider>

#include "app/callsign_check.h"
#include "app/settings_file.h"
#include "app/station_lifecycle.h"
#include "e2e/station_link.h"
#include "gui/close_signals.h"
#include "gui/dialog_windows.h"
#include "gui/main_window_widget.h"
#include "gui/offscreen_events.h"
#include "gui/qt_platform.h"
#include "gui/window_library_leaks.h"
#include "support/test_audio_server.h"
#include "support/temp_folder.h"
#include "support/textured_picture.h"

namespace {

QLabel* labelShowing(QWidget& window, const std::string& text) {
  for (QLabel* label : window.findChildren<QLabel*>())
    if (label->text() == QString::fromStdString(text)) return label;
  return nullptr;
}

TEST(WindowSafety, ACallsignOfMarkupIsShownLiterally) {
  offscreenApplication();
  StationLink link;
  const std::string markup = "<img src=/pelimo/none.png><font size=7 color=red>QA1";
  link.a->settings.callsign = markup;  // a hostile station's
  link.a->scaleCombo.index = 15;
  link.a->state.imageFromClipboard = true;
  link.a->clipboardPicture = texturedPicture();
  link.a->sendImageButton.down = true;
  link.a->sendImageClicked();
  MainWindowWidget sender(*link.a), receiver(*link.b);
  sender.show();
  receiver.show();
  // The callsign panel shows the own callsign in red while sending, the received one in green.
  QLabel* own = labelShowing(sender, markup);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  for (int i = 0; i < 400 && link.b->callsignPanel.caption.empty(); ++i) link.tick();
  receiver.refresh();
  const std::string received = callsignInCapitals(markup);  // callsigns are kept in capitals
  QLabel* panel = labelShowing(receiver, received);
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible() && receiver.widgetOf(&link.b->callsignPanel)->isAncestorOf(panel));
  EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(0, 255, 0));
  link.runTransmission();
  receiver.refresh();
  ASSERT_NE(labelShowing(receiver, "From : " + received), nullptr);
  for (QWidget* window : {static_cast<QWidget*>(&receiver), static_cast<QWidget*>(receiver.levelWindow())})
    for (QLabel* label : window->findChildren<QLabel*>())
      EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
  // Boxes too: the notice that does not stop the station is plain text and not modal.
  QtPlatform().notice("Can not save " + markup, false);
  QMessageBox* box = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(!box->isModal() && box->textFormat() == Qt::PlainText);
  box->close();
}

TEST(WindowSafety, TrackBarsAndShortcutKeysWorkAsLabelled) {
  offscreenApplication();
  FakePlatform platform;
  MainWindow form(platform);
  MainWindowWidget window(form);
  window.show();
  window.run([&] { form.afLevelClicked(); });
  // A click near the top of a track bar moves it toward its top label: "+40dB", "0dB".
  for (QSlider* slider : {window.levelWindow()->inputSlider(), window.levelWindow()->outputSlider()}) {
    const int before = slider->value();
    const QPointF top(slider->width() / 2.0, 2.0);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent click(type, top, slider->mapToGlobal(top), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(slider, &click);
    }
    EXPECT_LT(slider->value(), before);
  }
  EXPECT_GT(form.state.inputGain, 1.0);

  // Space, comma, a keypad digit or any other key between the keys breaks "1 T 1 P"; a
  // modifier key alone does not.
  platform.clipboard = Picture(400, 300);
  auto type = [&](int third, Qt::KeyboardModifiers modifiers) {
    for (auto [key, mods] : {std::pair{int(Qt::Key_1), Qt::KeyboardModifiers()}, {int(Qt::Key_T), {}},
                             {third, modifiers}, {int(Qt::Key_P), {}}}) {
      QKeyEvent released(QEvent::KeyRelease, key, mods);
      QApplication::sendEvent(&window, &released);
    }
    return form.state.imageFromClipboard;
  };
  for (int breaker : {int(Qt::Key_Space), int(Qt::Key_Comma), int(Qt::Key_Minus)})
    EXPECT_FALSE(type(breaker, {})) << breaker;
  EXPECT_FALSE(type(Qt::Key_1, Qt::KeypadModifier));
  EXPECT_TRUE(type(Qt::Key_1, {}));

}

TEST(WindowSafety, ActivationHandlingRunsWhenTheFocusComesBackFromABox) {
  offscreenApplication();
  FakePlatform platform;
  MainWindow form(platform);
  form.state.txImagePath = "/nonexistent-pelimo/TxImage.bmp";
  MainWindowWidget window(form);
  window.show();
  window.activateWindow();
  runUntil([&] { return QApplication::focusWindow() == window.windowHandle(); }, 2000);
  ASSERT_EQ(form.state.txTimeText, "TxTime : No TX Image");  // the first showing

  form.state.txTimeText = "TxTime :";  // as if no estimate had been made
  QMessageBox box(QMessageBox::Information, "Pelimo", "a box", QMessageBox::Ok, &window);
  box.show();
  box.activateWindow();
  runUntil([&] { return QApplication::focusWindow() == box.windowHandle(); }, 2000);
  EXPECT_EQ(form.state.txTimeText, "TxTime :");
  box.close();
  window.activateWindow();
  runUntil([&] { return QApplication::focusWindow() == window.windowHandle(); }, 2000);
  EXPECT_EQ(form.state.txTimeText, "TxTime : No TX Image");
}

// A logout or `kill` (SIGHUP, SIGTERM) closes the window as its close box does, on the main
// thread: the radio is released there, and the program then writes its settings.
TEST(WindowSafety, TerminationSignalsCloseTheWindowAsItsCloseBoxDoes) {
  offscreenApplication();
  TempFolder home;
  FakePlatform platform;
  MainWindow form(platform);
  form.settings.callsign = "QA1TRM";
  form.settingsFile = home.file("pelimo.ini");
  MainWindowWidget window(form);
  window.show();
  form.textEdit.text = "73";
  form.sendTextClicked();
  ASSERT_TRUE(form.state.txInProgress);
  bool closed = false;
  closeOnTerminationSignals(&window, [&] {
    window.close();
    closed = true;
  });
  ::kill(::getpid(), SIGHUP);
  runUntil([&] { return closed; }, 4000);
  ::alarm(0);  // the program's own end would follow the close
  ASSERT_TRUE(closed);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(form.state.txInProgress);
  stopStation(form);
  EXPECT_EQ(loadSettings(home.file("pelimo.ini")).callsign, "QA1TRM");
}

TEST(WindowSafety, AnUnreachableDisplayEndsTheProgramWithOneLine) {
  const std::string out = runForOutput(std::string("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:97 ") +
                                       PELIMO_STATION_BINARY + " 2>&1; echo \"exit $?\"");
  EXPECT_EQ(out, "pelimo: the display cannot be reached (DISPLAY=:97, WAYLAND_DISPLAY=); pelimo-cli "
                 "works without one\nexit 1");
}

}  // namespace
