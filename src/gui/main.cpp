// pelimo: the station with its window, on the sound card and a serial port's push-to-talk.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/app_paths.h"
#include "app/station_lifecycle.h"
#include "audio/keyed_port_release.h"
#include "audio/portaudio_backend.h"
#include "audio/serial_lines.h"
#include "gui/close_signals.h"
#include "gui/dialog_windows.h"
#include "gui/first_start_window.h"
#include "gui/main_window_widget.h"
#include "gui/qt_platform.h"

namespace {

// Qt ends the program with a core dump when its window system cannot be reached (a DISPLAY
// that does not answer, a Wayland socket that is gone). While the application starts, its
// messages are held back: that end becomes one line and exit status 1, and once the window
// system answers the held messages go out as usual.
QtMessageHandler qtMessages = nullptr;
std::vector<std::pair<QtMsgType, QString>> heldMessages;

void holdStartMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtFatalMsg) {
    heldMessages.emplace_back(type, text);
    return;
  }
  auto shown = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(name) + "=" + (value ? value : "");
  };
  std::cerr << "pelimo: the display cannot be reached (" << shown("DISPLAY") << ", "
            << shown("WAYLAND_DISPLAY") << "); pelimo-cli works without one\n";
  std::_Exit(1);
}

void releaseStartMessages() {
  qInstallMessageHandler(qtMessages);
  for (const auto& [type, text] : heldMessages)
    if (qtMessages) qtMessages(type, QMessageLogContext(), text);
  heldMessages.clear();
}

int runStation(int argc, char** argv, const std::optional<std::string>& home);

}  // namespace

int main(int argc, char** argv) {
  // The command line is read before the window system is reached, so --help and --version work
  // without a display. Single-dash arguments are Qt's own (-platform offscreen, -style ...).
  CLI::App cli("Pelimo: pictures and short texts over an SSB voice channel.", "pelimo");
  std::optional<std::string> home;
  cli.add_option("--home", home,
                 "Folder for pelimo.ini, the AutoSave folder of received pictures and "
                 "TxImage.bmp (default: beside the program if pelimo.ini is there, else "
                 "~/.config/pelimo and ~/.local/share/pelimo)")
      ->type_name("DIR");
  cli.set_version_flag("--version", std::string("pelimo ") + kProgramVersion);
  cli.allow_extras();
  try {
    cli.parse(argc, argv);
    bool qtOptionBefore = false;  // a word after a Qt option is its value
    for (const std::string& extra : cli.remaining()) {
      const bool qtOption = extra.size() > 1 && extra[0] == '-' && extra[1] != '-';
      if (!qtOption && !qtOptionBefore) throw CLI::ExtrasError({extra});
      qtOptionBefore = qtOption;
    }
  } catch (const CLI::ParseError& e) {
    return cli.exit(e) == 0 ? 0 : 2;  // help and version succeed; usage errors exit with 2
  }
  std::string homeProblem;
  home = absoluteHomeOption(home, homeProblem);
  if (!homeProblem.empty()) {  // refused now rather than found out when the settings are saved
    std::cerr << "pelimo: " << homeProblem << "\n";
    return 1;
  }
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    std::cerr << "pelimo: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
                 "not set); pelimo-cli works without one\n";
    return 1;
  }

  installPttReleaseOnSignals();
  try {
    return runStation(argc, argv, home);
  } catch (const std::exception& e) {
    // The station and its port are gone by now (their destructors released the lines); the
    // registered port is released once more in case something kept it.
    releaseKeyedPort();
    std::string line = e.what();
    for (char& c : line)
      if (c == '\n' || c == '\r') c = ' ';
    std::cerr << "pelimo: " << line << "\n";
  } catch (...) {
    releaseKeyedPort();
    std::cerr << "pelimo: stopped by an unexpected error\n";
  }
  return 1;
}

namespace {

int runStation(int argc, char** argv, const std::optional<std::string>& home) {
  qtMessages = qInstallMessageHandler(holdStartMessages);
  QApplication app(argc, argv);
  releaseStartMessages();
  QApplication::setApplicationName(kProgramName);
  QApplication::setApplicationVersion(kProgramVersion);

  PortAudioBackend audio;
  TermiosSerialLines serial;
  QtPlatform platform;
  // A logout or `kill` closes the window as its close box does (the settings written), also
  // while a box of the start-up is on the screen.
  bool closeRequested = false;
  QWidget* shownWindow = nullptr;
  closeOnTerminationSignals(&app, [&] {
    closeRequested = true;
    platform.setClosing();
    if (shownWindow) shownWindow->close();
    QCoreApplication::exit(0);  // ends every running loop, that of a box or dialog too
  });
  std::atomic<MainWindowWidget*> window{nullptr};
  auto wake = [&window] {
    if (MainWindowWidget* w = window.load()) w->wakeUp();
  };
  audio.setErrorWakeUp(wake);
  if (!audio.initialised()) platform.messageBox(audio.error(), true);

  const AppPaths paths = resolveAppPaths(executablePath(), home, systemEnv);
  std::error_code missing;
  const bool homeWithSettingsFile = home && std::filesystem::exists(paths.settingsFile, missing);
  std::unique_ptr<MainWindow> form =
      startStation(paths, platform, StationDevices{&audio, &serial, wake});
  {
    MainWindowWidget shown(*form);
    platform.setOwner(&shown);
    platform.setSettingsRunner(
        [&shown](SettingsDialog& dialog) { runSettingsWindow(dialog, shown); });
    platform.setFirstStartRunner([&shown](FirstStartPage& page) { runFirstStartWindow(page, shown); });
    platform.setPainter([&shown] { shown.paintNow(); });
    shown.setErrorSource([&audio] { return audio.takeErrors(); });
    shown.move(form->windowLeft, form->windowTop);
    window = &shown;
    shownWindow = &shown;
    if (!closeRequested) {
      shown.show();
      shown.wakeUp();  // buffers that completed before the window existed
      offerFirstStart(*form, homeWithSettingsFile);  // a new station is set up before anything else
      app.exec();
    }
    shownWindow = nullptr;
    form->windowLeft = shown.x();
    form->windowTop = shown.y();
    stopStation(*form);
    window = nullptr;
    platform.setOwner(nullptr);
    platform.setPainter(nullptr);
  }
  return 0;
}

}  // namespace
