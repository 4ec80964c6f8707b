// Two station windows on a real sound server through the PortAudio backend: A plays a whole
// picture into a null sink, B records the sink's monitor. The device callbacks wake Qt's event
// loop, which runs every buffer step, exactly as in the program. B must receive the picture
// A's preview shows, all 300 blocks, and draw it. Runs in real time (about a minute); skipped
// without the server (scripts/start-test-audio starts one).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>

#include "audio/portaudio_backend.h"
#include "gui/main_window_widget.h"
#include "gui/picture_view.h"
#include "support/fake_platform.h"
#include "gui/window_library_leaks.h"
#include "support/test_audio_server.h"
#include "support/textured_picture.h"

namespace {

struct WindowStation {
  WindowStation(PortAudioBackend& backend, const char* callsign)
      : form(platform, StationDevices{&backend, nullptr, [this] {
                                        if (MainWindowWidget* w = window.load()) w->wakeUp();
                                      }}) {
    form.settings.callsign = callsign;
    form.openDevices();
  }
  ~WindowStation() { form.closeDevices(); }  // no more wake-ups before the window goes
  FakePlatform platform;
  std::atomic<MainWindowWidget*> window{nullptr};
  MainWindow form;
};

TEST(RealAudioWindows, APictureCrossesARealSoundServerIntoTheReceivingWindow) {
  if (std::string why = testAudioServerMissing(); !why.empty()) GTEST_SKIP() << why;
  static int argc = 1;
  static char name[] = "real_audio_window_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  PortAudioBackend backend;
  ASSERT_TRUE(backend.initialised()) << backend.error();
  WindowStation a(backend, "JA1ABC"), b(backend, "DL2XYZ");
  MainWindowWidget windowA(a.form), windowB(b.form);
  struct ForgetWindows {  // before the windows go, whatever ends the test
    WindowStation &a, &b;
    ~ForgetWindows() { a.window = b.window = nullptr; }
  } forget{a, b};
  std::vector<std::string> errors;
  windowA.setErrorSource([&] {
    auto e = backend.takeErrors();
    errors.insert(errors.end(), e.begin(), e.end());
    return std::vector<std::string>{};
  });
  a.window = &windowA;
  b.window = &windowB;
  windowA.show();
  windowB.show();

  // The fastest picture: scale 2.00, four-level tones, payloads without the code.
  a.form.scaleCombo.index = 15;
  a.form.modeCombo.index = 1;
  a.form.modeChanged();
  a.form.clipboardPicture = texturedPicture();
  a.form.state.imageFromClipboard = true;
  a.form.sendImageButton.down = true;
  windowA.run([&] { a.form.sendImageClicked(); });
  ASSERT_TRUE(a.form.state.txInProgress);

  QElapsedTimer clock;
  clock.start();
  qint64 endedAt = -1;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (endedAt < 0 && !a.form.state.txInProgress) endedAt = clock.elapsed();
    // The last sound passes the sink, the monitor and B's buffers within a few seconds.
    if ((endedAt >= 0 && clock.elapsed() > endedAt + 3000) || clock.elapsed() > 300000) app.quit();
  });
  watch.start(50);
  app.exec();
  ASSERT_GE(endedAt, 0) << "the transmission did not end within 300 s";
  std::printf("picture on the air for %.1f s; B has %d blocks missing\n", endedAt / 1000.0,
              b.form.state.missingBlockCount);

  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_TRUE(a.platform.messages.empty());
  EXPECT_TRUE(b.platform.messages.empty());
  EXPECT_EQ(b.form.state.missingBlockCount, 0);
  EXPECT_EQ(b.form.state.remoteCallsign, "JA1ABC");
  EXPECT_TRUE(b.form.rxPicture == a.form.txPreviewPicture);
  windowB.refresh();
  const QImage drawn = windowB.widgetOf(&b.form.pictureBox)->grab().toImage();
  EXPECT_EQ(drawn.pixelColor(100, 100), toQColor(b.form.rxPicture.at(100, 100)));
}

}  // namespace
