// Two station windows on a real sound server through the PortAudio backend: A plays a whole
// picture into a null sink, B records the sink's monitor. B starts as the installed program
// does on a new user's machine, from default folders that do not exist yet, and must store
// the picture there. The device callbacks wake Qt's event
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
#include <filesystem>

#include "app/app_paths.h"
#include "app/station_lifecycle.h"
#include "audio/portaudio_backend.h"
#include "gui/main_window_widget.h"
#include "gui/picture_view.h"
#include "support/fake_platform.h"
#include "gui/window_library_leaks.h"
#include "support/temp_folder.h"
#include "support/test_audio_server.h"
#include "support/textured_picture.h"

namespace {

struct WindowStation {
  WindowStation(PortAudioBackend& backend, const char* callsign)
      : owner(std::make_unique<MainWindow>(platform, devicesOn(backend))), form(*owner) {
    form.settings.callsign = callsign;
    form.openDevices();
  }
  // Started as the installed program starts: from the folders it finds without --home.
  WindowStation(PortAudioBackend& backend, const AppPaths& paths)
      : owner(startStation(paths, platform, devicesOn(backend))), form(*owner) {}
  ~WindowStation() { form.closeDevices(); }  // no more wake-ups before the window goes
  StationDevices devicesOn(PortAudioBackend& backend) {
    return {&backend, nullptr, [this] {
              if (MainWindowWidget* w = window.load()) w->wakeUp();
            }};
  }
  FakePlatform platform;
  std::atomic<MainWindowWidget*> window{nullptr};
  std::unique_ptr<MainWindow> owner;
  MainWindow& form;
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
  // B is a new user's station: default folders (the XDG ones, in a temporary folder here) of
  // which none exists yet.
  TempFolder xdg("pelimo-xdg");
  const std::string configHome = xdg.file("config"), dataHome = xdg.file("share");
  const AppPaths defaultPaths = resolveAppPaths(executablePath(), std::nullopt, [&](const std::string& name) {
    return name == "XDG_CONFIG_HOME" ? std::optional(configHome)
                                     : name == "XDG_DATA_HOME" ? std::optional(dataHome) : std::nullopt;
  });
  WindowStation a(backend, "JA1ABC"), b(backend, defaultPaths);
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

  // The picture was saved in the default store, whose folders were made for it, and the
  // settings are written at the close.
  EXPECT_EQ(b.form.lastSavedPath.rfind(dataHome + "/pelimo/AutoSave/", 0), 0u) << b.form.lastSaveOutcome;
  EXPECT_TRUE(std::filesystem::is_regular_file(b.form.lastSavedPath)) << b.form.lastSaveOutcome;
  EXPECT_NE(b.form.lastSavedPath.find("_JA1ABC.jpg"), std::string::npos);
  b.form.closing();
  EXPECT_TRUE(std::filesystem::is_regular_file(configHome + "/pelimo/pelimo.ini"));
  EXPECT_TRUE(b.platform.messages.empty()) << b.platform.messages[0].text;
}

}  // namespace
