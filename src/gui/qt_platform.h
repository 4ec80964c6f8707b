#pragma once
// The desktop through Qt: modal message boxes and the beep, the clipboard, text drawn into
// pictures, the settings dialog shown modally, the system mixer, and the logging program's
// window on X11.
#include <functional>
#include <string>
#include <vector>

#include "app/platform.h"

class QWidget;

class QtPlatform : public Platform {
 public:
  // The window the message boxes and dialogs belong to; may be set later (nullptr: none).
  void setOwner(QWidget* owner) { owner_ = owner; }
  // The program is closing on a signal: nobody is there to answer a box any more, so boxes go
  // to standard error and questions are answered no.
  void setClosing() { closing_ = true; }
  // Runs the settings dialog window; set by the window layer once the main window exists.
  void setSettingsRunner(std::function<void(SettingsDialog&)> runner) {
    runSettings_ = std::move(runner);
  }
  // Runs the first-start page's window; set by the window layer once the main window exists.
  void setFirstStartRunner(std::function<void(FirstStartPage&)> runner) {
    runFirstStart_ = std::move(runner);
  }
  // Paints the windows as the forms show them now; set by the window layer.
  void setPainter(std::function<void()> painter) { painter_ = std::move(painter); }

  // Boxes show their text as it is, never as markup.
  void messageBox(const std::string& text, bool beep) override;
  void notice(const std::string& text, bool beep) override;
  void paintNow() override {
    if (painter_) painter_();
  }
  bool askYesNo(const std::string& text, bool beep) override;
  std::optional<Picture> clipboardPicture() override;
  void setClipboardPicture(const Picture& picture) override;
  void setClipboardText(const std::string& text) override;
  LocalTime localTime() override;
  int64_t timeSeconds() override;
  void drawText(Picture& picture, int x, int y, const std::string& text, int size,
                Colour colour) override;
  // Without X11 the window cannot be looked for: it counts as present, so the log line still
  // reaches the clipboard; keysReachOtherWindows then says that no key can be sent.
  bool windowExists(const std::string& title) override;
  bool sendF8ToWindow(const std::string& title) override;
  bool keysReachOtherWindows() override;
  // Qt's file dialog with a preview of the picture under the cursor.
  std::optional<std::string> choosePictureFile(const std::string& folder) override;
  // The desktop's file manager on the folder (xdg-open), started without waiting for it.
  bool showFolder(const std::string& folder) override;
  // Tries the known recording-level mixers in turn; says so when none is installed.
  bool startMixer() override;
  void showModal(SettingsDialog& dialog) override;
  void showModal(FirstStartPage& page) override {
    if (runFirstStart_) runFirstStart_(page);
  }

  // The mixers tried, each a program and its arguments, first found wins.
  static const std::vector<std::vector<std::string>>& mixerCommands();

 private:
  QWidget* owner_ = nullptr;
  bool closing_ = false;
  std::function<void(SettingsDialog&)> runSettings_;
  std::function<void(FirstStartPage&)> runFirstStart_;
  std::function<void()> painter_;
};

inline constexpr const char* kNoMixerMessage =
    "No recording-level mixer is installed. Install pavucontrol (or pwvucontrol) to set the "
    "input level.";
