#pragma once
// The platform as a console program sees it: message boxes are kept for the command to report
// as it sees fit (a station's device messages mean nothing to a command-line user), there is no
// clipboard and no other program's window, the clock is the system's.
#include <string>
#include <vector>

#include "app/platform.h"

class ConsolePlatform : public Platform {
 public:
  void messageBox(const std::string& text, bool beep) override;
  // No operator to ask: every question is answered No.
  bool askYesNo(const std::string&, bool) override { return false; }
  std::optional<Picture> clipboardPicture() override { return std::nullopt; }
  void setClipboardPicture(const Picture&) override {}
  void setClipboardText(const std::string&) override {}
  LocalTime localTime() override;
  int64_t timeSeconds() override;
  // The local time of a moment in seconds since 1970.
  static LocalTime localTimeOf(int64_t seconds);
  void drawText(Picture&, int, int, const std::string&, int, Colour) override {}
  bool windowExists(const std::string&) override { return false; }
  bool sendF8ToWindow(const std::string&) override { return false; }
  bool startMixer() override { return false; }
  // A console shows no dialogs: the dialog closes as if cancelled.
  void showModal(SettingsDialog&) override {}

  // Every message shown so far.
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  std::vector<std::string> messages_;
};
