#pragma once
// A scripted stand-in for the desktop: records every message box, clipboard write and drawn
// text, and answers clipboard, clock and Yes/No questions as the test sets them.
#include <functional>
#include <string>
#include <vector>

#include "app/platform.h"

class FakePlatform : public Platform {
 public:
  struct Message {
    std::string text;
    bool beep;
    bool modal = true;  // false for a notice, which does not stop the station
  };
  struct DrawnText {
    int x, y;
    std::string text;
    int size;
    Colour colour;
  };

  std::vector<Message> messages;
  std::vector<Message> questions;  // Yes/No questions asked
  bool answerYes = true;           // the answer to every Yes/No question
  std::vector<DrawnText> drawnTexts;
  std::optional<Picture> clipboard;
  std::string clipboardTextValue;
  LocalTime now;
  int64_t seconds = 1'700'000'000;
  std::vector<std::string> f8Targets;
  bool windowPresent = true;
  int mixerStarts = 0;
  bool keysReach = true;                    // keys can reach other windows (not Wayland)
  std::optional<std::string> chosenPicture;  // the file chooser's answer (nothing: cancelled)
  std::vector<std::string> chooserFolders;   // where each file chooser started
  // Plays the operator while a dialog is shown modally: fills in controls, clicks buttons.
  std::function<void(SettingsDialog&)> onSettingsDialog;
  int settingsDialogShows = 0;
  std::function<void(FirstStartPage&)> onFirstStartPage;
  int firstStartShows = 0;

  // Runs inside every modal box, as the window system's nested event loop would run whatever
  // comes meanwhile (the next buffers, for example).
  std::function<void()> whileBoxOpen;
  int paints = 0;
  std::function<void()> onPaint;  // runs at every paintNow

  void messageBox(const std::string& text, bool beep) override {
    messages.push_back({text, beep});
    if (whileBoxOpen) whileBoxOpen();
  }
  void notice(const std::string& text, bool beep) override { messages.push_back({text, beep, false}); }
  void paintNow() override {
    ++paints;
    if (onPaint) onPaint();
  }
  bool askYesNo(const std::string& text, bool beep) override {
    questions.push_back({text, beep});
    return answerYes;
  }
  std::optional<Picture> clipboardPicture() override { return clipboard; }
  void setClipboardPicture(const Picture& picture) override { clipboard = picture; }
  void setClipboardText(const std::string& text) override { clipboardTextValue = text; }
  LocalTime localTime() override { return now; }
  int64_t timeSeconds() override { return seconds; }
  void drawText(Picture& picture, int x, int y, const std::string& text, int size, Colour colour) override {
    drawnTexts.push_back({x, y, text, size, colour});
    putPixel(x, y, picture, colour);  // leave a mark so a test can see the picture was touched
  }
  bool windowExists(const std::string& title) override { return windowPresent; }
  bool sendF8ToWindow(const std::string& title) override {
    f8Targets.push_back(title);
    return windowPresent;
  }
  bool keysReachOtherWindows() override { return keysReach; }
  std::optional<std::string> choosePictureFile(const std::string& folder) override {
    chooserFolders.push_back(folder);
    return chosenPicture;
  }
  bool startMixer() override {
    ++mixerStarts;
    return true;
  }
  void showModal(SettingsDialog& dialog) override {
    ++settingsDialogShows;
    if (onSettingsDialog) onSettingsDialog(dialog);
  }
  void showModal(FirstStartPage& page) override {
    ++firstStartShows;
    if (onFirstStartPage) onFirstStartPage(page);
  }
};
