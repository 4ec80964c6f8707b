// The station window under Qt's offscreen platform, for what must hold whatever the air or the
// sound system does: text from the air is shown as it is, never as markup; the radio is released
// on the window's own timer when the play device stops; the controls work the way they are
// labelled.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSlider>

#include "e2e/station_link.h"
#include "gui/dialog_windows.h"
#include "gui/main_window_widget.h"
#include "gui/qt_platform.h"
#include "gui/offscreen_events.h"
#include "gui/window_library_leaks.h"
#include "support/fake_audio_backend.h"
#include "support/fake_platform.h"
#include "support/fake_serial_lines.h"
#include "support/test_audio_server.h"
#include "support/textured_picture.h"

namespace {

QLabel* labelShowing(QWidget& window, const QString& text) {
  for (QLabel* label : window.findChildren<QLabel*>())
    if (label->text() == text) return label;
  return nullptr;
}

void expectEveryLabelPlain(QWidget& window) {
  for (QLabel* label : window.findChildren<QLabel*>())
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
}

TEST(WindowSafety, ACallsignOfMarkupIsShownLiterally) {
  offscreenApplication();
  StationLink link;
  // A hostile station's callsign: an image it would read and a font that takes over the line.
  const std::string markup = "<img src=/pelimo/none.png><font size=7 color=red>QA1";
  link.a->settings.callsign = markup;
  link.a->scaleCombo.index = 15;
  link.a->modeCombo.index = 1;
  link.a->modeChanged();
  link.a->state.imageFromClipboard = true;
  link.a->clipboardPicture = texturedPicture();
  link.a->sendImageButton.down = true;
  link.a->sendImageClicked();
  ASSERT_TRUE(link.a->state.txInProgress);
  MainWindowWidget sender(*link.a), receiver(*link.b);
  sender.show();
  receiver.show();

  // While sending, the callsign panel shows the own callsign in red.
  sender.refresh();
  QLabel* own = labelShowing(sender, QString::fromStdString(markup));
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_TRUE(own->isVisible());

  // While receiving, the callsign panel shows the received callsign, as plain text.
  for (int i = 0; i < 400 && link.b->callsignPanel.caption.empty(); ++i) link.tick();
  receiver.refresh();
  QLabel* panel = labelShowing(receiver, QString::fromStdString(markup));
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(receiver.widgetOf(&link.b->callsignPanel)->isAncestorOf(panel));
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(0, 255, 0));
  expectEveryLabelPlain(receiver);

  link.runTransmission();
  receiver.refresh();
  ASSERT_EQ(link.b->state.remoteCallsign, markup);
  expectEveryLabelPlain(*receiver.levelWindow());
  ASSERT_NE(labelShowing(receiver, QString::fromStdString("From : " + markup)), nullptr);

  // Boxes show their text as it is too, the non-modal notice as well as the modal box.
  QtPlatform platform;
  platform.notice("Can not save " + markup, false);
  QMessageBox* box = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->isModal());
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
  box->close();
}

TEST(WindowSafety, ThePlayDeviceStoppingReleasesTheRadioOnTheWindowsOwnTimer) {
  offscreenApplication();
  FakeAudioBackend audio;
  FakeSerialLines serial;
  FakePlatform platform;
  audio.failInputOpen = true;  // no input buffers either: only the window's timer can tell
  MainWindow form(platform, StationDevices{&audio, &serial});
  form.openDevices();
  form.settings.callsign = "QA1BCD";
  form.settings.portPath = "/dev/ttyUSB0";
  platform.messages.clear();
  MainWindowWidget window(form);
  window.show();
  form.textEdit.text = "hello";
  window.run([&] { form.sendTextClicked(); });
  ASSERT_TRUE(serial.linesAsserted);
  // The sound server is gone: nothing is ever played. The lines drop within two seconds.
  const qint64 took = runUntil([&] { return !serial.linesAsserted; }, 4000);
  EXPECT_FALSE(serial.linesAsserted);
  EXPECT_LT(took, 2000);
  EXPECT_FALSE(form.state.txInProgress);
  // The controls are back and drawn so.
  EXPECT_TRUE(window.widgetOf(&form.settingsButton)->isEnabled());
  EXPECT_TRUE(window.widgetOf(&form.sendTextButton)->isEnabled());
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_FALSE(platform.messages[0].modal);
}

TEST(WindowSafety, TrackBarsRunAsLabelledAndAnyOtherKeyBreaksAShortcut) {
  offscreenApplication();
  FakePlatform platform;
  MainWindow form(platform);
  MainWindowWidget window(form);
  window.show();
  window.run([&] { form.afLevelClicked(); });
  QSlider* input = window.levelWindow()->inputSlider();
  QSlider* output = window.levelWindow()->outputSlider();
  // A click near the top moves toward the top label ("+40dB", "0dB"): the minimum positions.
  for (QSlider* slider : {input, output}) {
    const int before = slider->value();
    const QPointF top(slider->width() / 2.0, 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, top, slider->mapToGlobal(top), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, top, slider->mapToGlobal(top), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &release);
    EXPECT_LT(slider->value(), before);
  }
  EXPECT_LT(form.settings.inGainPos, 0);  // louder input: the gain above 1
  EXPECT_GT(form.state.inputGain, 1.0);
  EXPECT_EQ(form.levelDialog.inputLevelValue.caption, "[" + std::to_string(-form.settings.inGainPos) + "dB]");
  const int outputBefore = output->value();
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(output, &down);
  EXPECT_EQ(output->value(), outputBefore + 1);  // the Down key moves the handle down: quieter

  // Space, comma, a keypad digit or any other key between the keys breaks "1 T 1 P".
  platform.clipboard = Picture(400, 300);
  auto type = [&](std::initializer_list<std::pair<int, Qt::KeyboardModifiers>> keys) {
    for (auto [key, modifiers] : keys) {
      QKeyEvent released(QEvent::KeyRelease, key, modifiers);
      QApplication::sendEvent(&window, &released);
    }
  };
  const auto none = Qt::NoModifier;
  for (int breaker : {int(Qt::Key_Space), int(Qt::Key_Comma), int(Qt::Key_Minus)}) {
    type({{Qt::Key_1, none}, {Qt::Key_T, none}, {Qt::Key_1, none}, {breaker, none}, {Qt::Key_P, none}});
    EXPECT_FALSE(form.state.imageFromClipboard) << breaker;
  }
  type({{Qt::Key_1, none}, {Qt::Key_T, none}, {Qt::Key_1, Qt::KeypadModifier}, {Qt::Key_P, none}});
  EXPECT_FALSE(form.state.imageFromClipboard);
  // Modifier keys alone do not count as keys; the shortcut still works through them.
  type({{Qt::Key_1, none}, {Qt::Key_Shift, none}, {Qt::Key_T, none}, {Qt::Key_1, none}, {Qt::Key_P, none}});
  EXPECT_TRUE(form.state.imageFromClipboard);
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

TEST(WindowSafety, AnUnreachableDisplayEndsTheProgramWithOneLine) {
  const std::string run = std::string("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:97 ") +
                          PELIMO_STATION_BINARY + " --home /nonexistent-pelimo-home 2>&1; echo \"exit $?\"";
  const std::string out = runForOutput(run);
  EXPECT_EQ(out,
            "pelimo: the display cannot be reached (DISPLAY=:97, WAYLAND_DISPLAY=); pelimo-cli "
            "works without one\nexit 1");
}

}  // namespace
