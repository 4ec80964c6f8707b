// pelimo: the station with its window, on the sound card and a serial port's push-to-talk.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <atomic>
#include <iostream>
#include <optional>
#include <string>

#include "app/app_paths.h"
#include "app/station_lifecycle.h"
#include "audio/keyed_port_release.h"
#include "audio/portaudio_backend.h"
#include "audio/serial_lines.h"
#include "gui/dialog_windows.h"
#include "gui/main_window_widget.h"
#include "gui/qt_platform.h"

int main(int argc, char** argv) {
  installPttReleaseOnSignals();
  QApplication app(argc, argv);  // takes Qt's own options (-platform, ...) out of argv
  QApplication::setApplicationName(kProgramName);
  QApplication::setApplicationVersion(kProgramVersion);

  CLI::App cli("Pelimo: pictures and short texts over an SSB voice channel.", "pelimo");
  std::optional<std::string> home;
  cli.add_option("--home", home,
                 "Folder for pelimo.ini, the AutoSave folder of received pictures and "
                 "TxImage.bmp (default: beside the program if pelimo.ini is there, else "
                 "~/.config/pelimo and ~/.local/share/pelimo)")
      ->type_name("DIR");
  cli.set_version_flag("--version", std::string("pelimo ") + kProgramVersion);
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return cli.exit(e);
  }

  PortAudioBackend audio;
  TermiosSerialLines serial;
  QtPlatform platform;
  std::atomic<MainWindowWidget*> window{nullptr};
  auto wake = [&window] {
    if (MainWindowWidget* w = window.load()) w->wakeUp();
  };
  audio.setErrorWakeUp(wake);
  if (!audio.initialised()) platform.messageBox(audio.error(), true);

  const AppPaths paths = resolveAppPaths(executablePath(), home, systemEnv);
  std::unique_ptr<TForm1> form = startStation(paths, platform, StationDevices{&audio, &serial, wake});
  {
    MainWindowWidget shown(*form);
    platform.setOwner(&shown);
    platform.setSettingsRunner([&shown](TForm9& dialog) { runSettingsWindow(dialog, shown); });
    shown.setErrorSource([&audio] { return audio.takeErrors(); });
    shown.move(form->Left, form->Top);
    window = &shown;
    shown.show();
    shown.wakeUp();  // buffers that completed before the window existed
    app.exec();
    form->Left = shown.x();
    form->Top = shown.y();
    stopStation(*form);
    window = nullptr;
    platform.setOwner(nullptr);
  }
  return 0;
}
